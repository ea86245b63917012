#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP end the monitor the orderly way (log file written, exit status 0): the
// signal handler only writes a byte to a pipe, and the event loop turns it into terminationRequested.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested(int signal);

private:
    QSocketNotifier* m_notifier = nullptr;
};
