// A probe of the packaged program, for scripts/package-test. Preloaded into the extracted `tessarin`
// (LD_PRELOAD), it watches the real main window from inside the process, so that the program itself
// needs no hook: every 20 ms it reads the link text and the two lamp panels of the status bar and
// compares each lamp with the reference pictures in the folder named by TESSARIN_PROBE_LAMPS.
// It ends the program with status 0 once the link is ON LINE and each lamp has shown both its pictures,
// and with status 1 as soon as a lamp is blank or shows a picture that is no lamp of its own, or when
// that has not happened within TESSARIN_PROBE_SECONDS (default 30). What it sees goes to standard output,
// one line per change.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMap>
#include <QSet>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int kSampleMs = 20;

class Probe {
  public:
    Probe()
        : m_deadline(qEnvironmentVariableIntValue("TESSARIN_PROBE_SECONDS") > 0
                         ? qEnvironmentVariableIntValue("TESSARIN_PROBE_SECONDS") * 1000
                         : 30'000) {
        const QDir folder(qEnvironmentVariable("TESSARIN_PROBE_LAMPS"));
        // The send lamp (panel 2) is red, the receive lamp (panel 3) green.
        m_own[2] = {QStringLiteral("LANP_ON_RED.bmp"), QStringLiteral("LANP_OFF_RED.bmp")};
        m_own[3] = {QStringLiteral("LANP_ON_GREEN.bmp"), QStringLiteral("LANP_OFF_GREEN.bmp")};
        for (const QStringList& names : m_own) {
            for (const QString& name : names) {
                const QImage picture(folder.filePath(name), "BMP");
                if (picture.isNull()) {
                    fail(QStringLiteral("no reference picture ") + folder.filePath(name));
                    return;
                }
                m_references.insert(name, picture.convertToFormat(QImage::Format_RGB32));
            }
        }
    }

    void sample() {
        if (m_done) {
            return;
        }
        QLabel* link = findPanel(1);
        if (link == nullptr) {
            return;  // the main window is not built yet
        }
        if (link->text() != m_linkText) {
            m_linkText = link->text();
            say(QStringLiteral("link ") + m_linkText);
            m_sawOnLine = m_sawOnLine || m_linkText == QStringLiteral("ON LINE");
        }
        for (const int panel : {2, 3}) {
            const QString seen = identify(findPanel(panel));
            if (seen != m_shown.value(panel)) {
                m_shown[panel] = seen;
                say(QStringLiteral("panel %1 %2").arg(panel).arg(seen));
            }
            if (!m_own[panel].contains(seen)) {
                fail(QStringLiteral("panel %1 shows %2").arg(panel).arg(seen));
                return;
            }
            m_seen[panel].insert(seen);
        }
        if (m_sawOnLine && m_seen[2].size() == 2 && m_seen[3].size() == 2) {
            finish(0, QStringLiteral("passed: ON LINE, both lamps drawn in both states"));
        } else if (m_deadline.hasExpired()) {
            fail(QStringLiteral("timed out: ON LINE %1, lamp pictures seen %2 and %3")
                     .arg(m_sawOnLine ? QStringLiteral("seen") : QStringLiteral("never seen"))
                     .arg(m_seen[2].size())
                     .arg(m_seen[3].size()));
        }
    }

  private:
    static QLabel* findPanel(int panel) {
        const QString name = QStringLiteral("StatusBar1Panel%1").arg(panel);
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QStringLiteral("frmMidMain")) {
                return top->findChild<QLabel*>(name);
            }
        }
        return nullptr;
    }

    // The reference picture that the panel shows, "blank", or "a picture that is no lamp".
    QString identify(const QLabel* panel) const {
        const QPixmap shown = panel == nullptr ? QPixmap() : panel->pixmap();
        if (shown.isNull()) {
            return QStringLiteral("blank");
        }
        const QImage image = shown.toImage().convertToFormat(QImage::Format_RGB32);
        for (auto it = m_references.cbegin(); it != m_references.cend(); ++it) {
            if (it.value() == image) {
                return it.key();
            }
        }
        return QStringLiteral("a picture that is no lamp");
    }

    static void say(const QString& line) { QTextStream(stdout) << "probe: " << line << Qt::endl; }

    void fail(const QString& why) { finish(1, QStringLiteral("FAILED: ") + why); }

    void finish(int status, const QString& line) {
        say(line);
        m_done = true;
        QCoreApplication::exit(status);
    }

    QDeadlineTimer m_deadline;
    QMap<int, QStringList> m_own;
    QMap<QString, QImage> m_references;
    QMap<int, QString> m_shown;
    QMap<int, QSet<QString>> m_seen;
    QString m_linkText;
    bool m_sawOnLine = false;
    bool m_done = false;
};

// Called from the program's QApplication constructor; the sampling starts with its event loop.
void startProbe() {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            auto* probe = new Probe;
            auto* timer = new QTimer(QCoreApplication::instance());
            QObject::connect(timer, &QTimer::timeout, [probe] { probe->sample(); });
            QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [probe] { delete probe; });
            timer->start(kSampleMs);
        },
        Qt::QueuedConnection);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)
