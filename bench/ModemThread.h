#pragma once

#include "SimulatedModem.h"

#include <QObject>
#include <QThread>

#include <functional>

// The simulated modem in a thread of its own, so that its pacing does not wait on the monitor's
// thread being measured. `setUp` runs in that thread once the modem is made.
class ModemThread {
public:
    explicit ModemThread(const std::function<void(SimulatedModem&)>& setUp = {})
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        run([&] {
            m_sim = new SimulatedModem;
            if (setUp)
                setUp(*m_sim);
        });
    }
    ~ModemThread()
    {
        run([&] { delete m_sim; });
        m_thread.quit();
        m_thread.wait();
    }
    ModemThread(const ModemThread&) = delete;
    ModemThread& operator=(const ModemThread&) = delete;

    // Runs `action` in the modem's thread and waits for it.
    void run(const std::function<void()>& action)
    {
        QMetaObject::invokeMethod(&m_context, action, Qt::BlockingQueuedConnection);
    }
    // Runs `action` in the modem's thread without waiting.
    void post(std::function<void()> action)
    {
        QMetaObject::invokeMethod(&m_context, std::move(action), Qt::QueuedConnection);
    }
    SimulatedModem& sim() { return *m_sim; }
    QString path()
    {
        QString path;
        run([&] { path = m_sim->path(); });
        return path;
    }

private:
    QThread m_thread;
    QObject m_context;
    SimulatedModem* m_sim = nullptr;
};
