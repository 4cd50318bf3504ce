// The floor under the program's idle CPU figure: a window of the program's size running the same timers as
// the program ON LINE (tmrComRcv 10 ms, tmrComConnect and tmrDisp 100 ms, the status-bar clock once a second)
// with empty handlers. scripts/bench measures it exactly as it measures the program. Runs until ended.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("timers only")));
    window.resize(873, 710);  // 13100 x 10650 twips
    window.show();

    QTimer receive;
    receive.setTimerType(Qt::PreciseTimer);
    QTimer connect;
    QTimer display;
    QTimer clock;
    for (auto [timer, interval] : {std::pair{&receive, 10}, {&connect, 100}, {&display, 100}, {&clock, 1000}}) {
        QObject::connect(timer, &QTimer::timeout, timer, [] {});
        timer->start(interval);
    }
    return QApplication::exec();
}
