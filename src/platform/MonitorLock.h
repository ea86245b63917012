#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

// One monitor per data folder. The monitor that starts first holds a lock file in the folder
// (QLockFile: the process id, the host and the program's name; a lock whose process has died, as
// after a crash, is taken over) and listens on a local socket named after the folder's canonical
// path, so that a later start on the same folder can ask it to show its window instead of running a
// second monitor that would fight it for the alarm port and the files.
class MonitorLock : public QObject {
    Q_OBJECT
public:
    static inline const QString kFileName = QStringLiteral(".tarnwicker.lock");

    enum class State {
        Held,        // this process is the folder's monitor
        HeldByOther, // another monitor runs on the folder: holderPid() names it
        Unavailable, // the folder cannot hold a lock (read-only, say): run as the only one
    };
    // How a request to show reached the running monitor.
    enum class Answer {
        Shown,       // its window is up
        Headless,    // it has no window to show
        Asked,       // the request is with it, but it did not answer in time (busy with a mail, say)
        Unreachable, // it does not listen
    };

    explicit MonitorLock(const QString& folder);
    ~MonitorLock() override;

    State acquire();
    qint64 holderPid() const { return m_holderPid; }

    // Listens for requests to show; headless, it answers that it has no window to show.
    bool listen(bool headless);

    // Asks the folder's running monitor to show its window, waiting at most timeoutMs for its answer.
    static Answer askToShow(const QString& folder, int timeoutMs);

    // The local socket's name: the program's, and a hash of the folder's canonical path.
    static QString serverName(const QString& folder);

    // What a start says on standard error when the folder's monitor already runs.
    static QString alreadyRunningText(const QString& folder, qint64 pid);

signals:
    void showRequested();

private:
    void answer();

    QString m_folder;
    QLockFile m_lock;
    qint64 m_holderPid = 0;
    bool m_headless = false;
    std::unique_ptr<QLocalServer> m_server;
};
