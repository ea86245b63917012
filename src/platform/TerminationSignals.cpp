#include "platform/TerminationSignals.h"

#include "platform/TerminationFlag.h"

#include <QSocketNotifier>

#ifndef Q_OS_WIN
#include <csignal>
#include <pthread.h>

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
TerminationFlag* g_flag = nullptr;

extern "C" void onTerminationSignal(int)
{
    if (g_flag)
        g_flag->raise();
}

sigset_t terminationSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kSignals)
        sigaddset(&set, sig);
    return set;
}
} // namespace

void TerminationSignals::blockUntilInstalled()
{
    const sigset_t set = terminationSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void TerminationSignals::restoreDefault()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
    const sigset_t set = terminationSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

TerminationSignals::TerminationSignals(TerminationFlag& flag, QObject* parent)
    : QObject(parent)
{
    g_flag = &flag;
    if (flag.handle() >= 0) {
        m_notifier = new QSocketNotifier(flag.handle(), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            // The flag stays raised; one notice is all the window needs.
            m_notifier->setEnabled(false);
            Q_EMIT terminationRequested();
        });
    }
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
    // What arrived while the signals were blocked is handled now.
    const sigset_t set = terminationSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    restoreDefault();
    g_flag = nullptr;
}

#else

// On Windows the end of the session reaches the application through Qt's session management.
void TerminationSignals::blockUntilInstalled() {}
void TerminationSignals::restoreDefault() {}

TerminationSignals::TerminationSignals(TerminationFlag&, QObject* parent)
    : QObject(parent)
{}

TerminationSignals::~TerminationSignals() = default;

#endif
