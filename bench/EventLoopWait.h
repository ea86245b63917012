#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <functional>

// Runs the event loop (sleeping between events, as the monitor does, so that waiting costs no CPU of
// its own) until `done` holds or `ms` have passed; says whether it holds.
inline bool waitFor(const std::function<bool()>& done, int ms)
{
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= ms)
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    return done();
}
