#pragma once

#include <QObject>

class QSocketNotifier;
class TerminationFlag;

// SIGTERM, SIGINT and SIGHUP end the monitor the orderly way (log file written, exit status 0): the
// signal handler only raises the termination flag, which wakes a blocking wait at once, and the
// event loop turns the raised flag into terminationRequested.
//
// blockUntilInstalled() at the very start of main keeps the signals pending (instead of ending the
// process without its log) until the constructor has installed the handler; threads started in
// between keep them blocked, so the handler runs where the constructor ran.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    static void blockUntilInstalled();
    // For a run that is not the monitor (a report, the usage text): the signals end it as usual.
    static void restoreDefault();

    explicit TerminationSignals(TerminationFlag& flag, QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    // Once, when the flag is first seen raised (by a signal or by whoever else raised it).
    void terminationRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};
