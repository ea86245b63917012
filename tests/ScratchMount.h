#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sys/mount.h>
#include <unistd.h>

// A small tmpfs of the test's own, to meet the faults of a real disk: filled to the brim, or
// read-only. Mounting needs root.
class ScratchMount {
public:
    explicit ScratchMount(const char* size = "256k")
    {
        if (::geteuid() != 0)
            m_unavailable = "mounting a scratch file system needs root";
        else if (!m_dir.isValid() || ::mount("tmpfs", qPrintable(m_dir.path()), "tmpfs", 0,
                                             qPrintable(QStringLiteral("size=%1").arg(size))) != 0)
            m_unavailable = "no tmpfs could be mounted here";
        else
            m_mounted = true;
    }
    ~ScratchMount()
    {
        if (m_mounted)
            ::umount2(qPrintable(m_dir.path()), MNT_DETACH);
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    // Empty when the mount is there; otherwise why not (for GTEST_SKIP).
    const char* unavailable() const { return m_unavailable; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return QDir(m_dir.path()).filePath(name); }

    // Writes a filler file until no block is left, then the smallest write of a new file fails.
    void fill()
    {
        QFile filler(filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(4096, 'f');
        for (int i = 0; i < 100000 && filler.write(block) == block.size(); ++i) {
        }
        for (int i = 0; i < 4096 && filler.write("f", 1) == 1; ++i) {
        }
    }

    // Remounts the file system read-only (the filler, if any, goes first).
    bool makeReadOnly()
    {
        QFile::remove(filePath(QStringLiteral(".filler")));
        return ::mount("tmpfs", qPrintable(m_dir.path()), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QTemporaryDir m_dir;
    const char* m_unavailable = nullptr;
    bool m_mounted = false;
};
