// The floor under the program's idle CPU figure: a window of the program's size running the same timers as
// the program ON LINE with empty handlers: tmrComConnect and tmrDisp every 100 ms, the status-bar clock once a
// second, and for each poll (every fifth connect tick) a wake when its answer is in, 50 ms later, followed by
// one 10 ms receive tick, as the program wakes on the port. scripts/bench measures it exactly as it measures
// the program. Runs until ended.
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
    receive.setSingleShot(true);
    receive.setInterval(10);
    QObject::connect(&receive, &QTimer::timeout, &receive, [] {});
    QTimer answer;  // stands for the port's descriptor waking the program
    answer.setTimerType(Qt::PreciseTimer);
    answer.setSingleShot(true);
    answer.setInterval(50);
    QObject::connect(&answer, &QTimer::timeout, &receive, [&] { receive.start(); });
    QTimer connect;
    int connectTicks = 0;
    QObject::connect(&connect, &QTimer::timeout, &connect, [&] {
        if (++connectTicks % 5 == 0) {
            answer.start();
        }
    });
    connect.start(100);
    QTimer display;
    QTimer clock;
    for (auto [timer, interval] : {std::pair{&display, 100}, {&clock, 1000}}) {
        QObject::connect(timer, &QTimer::timeout, timer, [] {});
        timer->start(interval);
    }
    return QApplication::exec();
}
