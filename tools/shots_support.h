// What the picture tools share: waiting on the event loop for a condition or for a while.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

namespace tessarin {

// Runs the event loop until `done` holds; false when `milliseconds` passed first.
inline bool waitFor(const std::function<bool()>& done, int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    return true;
}

// Runs the event loop for `milliseconds`, so that what was shown settles.
inline void settle(int milliseconds) {
    waitFor([] { return false; }, milliseconds);
}

}  // namespace tessarin
