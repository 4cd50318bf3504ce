#include "ui/frm_about.h"

#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "ui/app_version.h"
#include "ui/pictures.h"
#include "ui/ui_fonts.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tessarin {

QString frmAbout::VersionText() { return QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QString::fromUtf8(kVersionText); }

QString frmAbout::Caption() { return QString::fromUtf8(kProductName) + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"); }

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(Caption());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFont(UiFont(kPointSizeNormal));

    auto* picIcon = new QLabel;
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(ProgramIconPixmap(48));
    picIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* lblTitle = new QLabel(QString::fromUtf8(kProductName));
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setFont(UiFont(18, true));
    auto* lblVersion = new QLabel(VersionText());
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    auto* lblDescription = new QLabel(QString::fromUtf8(kDescription));
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    for (QLabel* label : {lblTitle, lblVersion, lblDescription}) {
        label->setTextFormat(Qt::PlainText);
    }
    lblVersion->setFont(UiFont(kPointSizeControls));
    lblDescription->setFont(UiFont(kPointSizeControls));

    auto* line = new QFrame;
    line->setObjectName(QStringLiteral("linSeparator"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* cmdOK = new QPushButton(QStringLiteral("OK"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    auto* cmdSysInfo = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報(&S)..."));
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    for (QPushButton* button : {cmdOK, cmdSysInfo}) {
        button->setFont(UiFont(kPointSizeControls));
        button->setMinimumWidth(120);
    }
    // OK is the default button (Enter) and, through reject(), the cancel button (Esc, close box).
    cmdOK->setDefault(true);
    cmdSysInfo->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(this); });

    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addSpacing(8);
    texts->addWidget(lblDescription);
    texts->addStretch(1);

    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(picIcon);
    top->addLayout(texts, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addLayout(buttons);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(16, 16, 16, 12);
    page->addLayout(top);
    page->addSpacing(12);
    page->addWidget(line);
    page->addLayout(bottom);
    page->setSizeConstraint(QLayout::SetFixedSize);
    cmdOK->setFocus();
}

QStringList SysInfoToolNames() {
    return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor"), QStringLiteral("mate-system-monitor")};
}

#ifdef Q_OS_WIN
bool ReadRegValue(void* rootKey, const QString& keyPath, const QString& valueName, QString& value) {
    value.clear();
    HKEY key = nullptr;
    // Read access is enough and is what a standard user is granted under HKEY_LOCAL_MACHINE; asking for
    // write rights there fails without elevation and would hide the tool.
    const QByteArray path = keyPath.toLocal8Bit();
    if (RegOpenKeyExA(static_cast<HKEY>(rootKey), path.constData(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    char buffer[1024] = {};
    DWORD type = 0;
    DWORD size = sizeof(buffer);
    const QByteArray name = valueName.toLocal8Bit();
    const LONG status = RegQueryValueExA(key, name.constData(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return false;
    }
    qsizetype length = static_cast<qsizetype>(size);
    if (length > 0 && buffer[length - 1] == '\0') {
        --length;
    }
    value = QString::fromLocal8Bit(buffer, length);
    return true;
}
#endif

QString FindSysInfoTool() {
#ifdef Q_OS_WIN
    QString path;
    if (ReadRegValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                     QStringLiteral("PATH"), path) &&
        !path.isEmpty()) {
        return path;
    }
    QString folder;
    if (ReadRegValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                     QStringLiteral("MSINFO"), folder)) {
        const QString candidate = folder + QStringLiteral("\\MSINFO32.EXE");
        if (QFileInfo::exists(candidate)) {
            return candidate;
        }
    }
    return {};
#else
    for (const QString& name : SysInfoToolNames()) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty()) {
            return path;
        }
    }
    return {};
#endif
}

void StartSysInfo(QWidget* parent) {
    const QString tool = FindSysInfoTool();
    if (!tool.isEmpty()) {
        QProcess::startDetached(tool, {});
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kProductName),
                    QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("msgSysInfo"));
    box.exec();
}

}  // namespace tessarin
