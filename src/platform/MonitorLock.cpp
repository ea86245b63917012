#include "platform/MonitorLock.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

const QByteArray kShowRequest = "show\n";
const QByteArray kShownAnswer = "shown\n";
const QByteArray kHeadlessAnswer = "headless\n";

QString canonicalFolder(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir(folder).absolutePath() : canonical;
}

} // namespace

MonitorLock::MonitorLock(const QString& folder)
    : m_folder(folder)
    , m_lock(QDir(folder).filePath(kFileName))
{
    // Only a dead holder makes a lock stale: a monitor runs for months without touching its file.
    m_lock.setStaleLockTime(0);
}

MonitorLock::~MonitorLock() = default;

MonitorLock::State MonitorLock::acquire()
{
    if (m_lock.tryLock(0))
        return State::Held;
    if (m_lock.error() != QLockFile::LockFailedError)
        return State::Unavailable;
    QString host;
    QString application;
    if (!m_lock.getLockInfo(&m_holderPid, &host, &application))
        m_holderPid = 0;
    return State::HeldByOther;
}

QString MonitorLock::serverName(const QString& folder)
{
    const QByteArray hash =
        QCryptographicHash::hash(canonicalFolder(folder).toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QStringLiteral("tarnwicker-") + QString::fromLatin1(hash);
}

QString MonitorLock::alreadyRunningText(const QString& folder, qint64 pid)
{
    return QStringLiteral("数据文件夹%1已有网络检测员在运行（进程号%2）。")
        .arg(QDir::toNativeSeparators(folder))
        .arg(pid);
}

bool MonitorLock::listen(bool headless)
{
    m_headless = headless;
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = serverName(m_folder);
    // A socket left by a monitor that crashed: the lock is ours, so no live monitor listens on it.
    QLocalServer::removeServer(name);
    if (!m_server->listen(name))
        return false;
    connect(m_server.get(), &QLocalServer::newConnection, this, &MonitorLock::answer);
    return true;
}

void MonitorLock::answer()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() != kShowRequest) {
                socket->disconnectFromServer();
                return;
            }
            socket->write(m_headless ? kHeadlessAnswer : kShownAnswer);
            socket->flush();
            if (!m_headless)
                emit showRequested();
        });
    }
}

MonitorLock::Answer MonitorLock::askToShow(const QString& folder, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(serverName(folder));
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return Answer::Unreachable;
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return Answer::Unreachable;
    // The request is in the monitor's socket now; it reads it once its thread is free.
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return Answer::Asked;
    }
    const QByteArray reply = socket.readLine();
    if (reply == kHeadlessAnswer)
        return Answer::Headless;
    return reply == kShownAnswer ? Answer::Shown : Answer::Asked;
}
