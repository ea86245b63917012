#include "platform/UucpLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
// The process id in a lock file: ten characters of decimal text (HDB form) or four binary bytes.
qint64 ownerOf(const QByteArray& content)
{
    bool ok = false;
    const qint64 pid = content.trimmed().toLongLong(&ok);
    if (ok)
        return pid;
    if (content.size() == 4) {
        qint32 binary = 0;
        memcpy(&binary, content.constData(), 4);
        return binary;
    }
    return 0;
}

bool alive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}
} // namespace

QString UucpLock::defaultFolder()
{
    return QFileInfo(QStringLiteral("/run/lock")).isDir() ? QStringLiteral("/run/lock") : QStringLiteral("/var/lock");
}

QString UucpLock::fileName(const QString& devicePath)
{
    QString name = QFileInfo(devicePath).absoluteFilePath();
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    return QStringLiteral("LCK..") + name.replace(u'/', u'_');
}

UucpLock::UucpLock(const QString& devicePath, const QString& folder)
    : m_path(QDir(folder).filePath(fileName(devicePath)))
{}

UucpLock::~UucpLock()
{
    release();
}

bool UucpLock::acquire(QString* error)
{
    if (m_held)
        return true;
    if (::access(QFile::encodeName(QFileInfo(m_path).path()).constData(), W_OK) != 0)
        return true;
    const QByteArray path = QFile::encodeName(m_path);
    const QByteArray content = QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n';
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd >= 0) {
            const bool written = ::write(fd, content.constData(), size_t(content.size())) == content.size();
            ::close(fd);
            if (!written) {
                ::unlink(path.constData());
                *error = QStringLiteral("cannot write the lock file %1").arg(m_path);
                return false;
            }
            m_held = true;
            return true;
        }
        if (errno != EEXIST) {
            *error = QStringLiteral("cannot create the lock file %1: %2")
                         .arg(m_path, QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
        QFile existing(m_path);
        const qint64 owner = existing.open(QIODevice::ReadOnly) ? ownerOf(existing.readAll()) : 0;
        if (alive(owner)) {
            *error = QStringLiteral("the port is in use by process %1 (lock file %2)").arg(owner).arg(m_path);
            return false;
        }
        ::unlink(path.constData()); // stale: its process has ended
    }
    *error = QStringLiteral("cannot take the lock file %1").arg(m_path);
    return false;
}

void UucpLock::release()
{
    if (m_held)
        ::unlink(QFile::encodeName(m_path).constData());
    m_held = false;
}
