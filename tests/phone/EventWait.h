#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

// Runs the calling thread's event loop until `done` holds or `ms` have passed; says whether it holds.
inline bool waitFor(const std::function<bool()>& done, int ms = 8000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return done();
}

// Runs the event loop for `ms`.
inline void pump(int ms)
{
    waitFor([] { return false; }, ms);
}
