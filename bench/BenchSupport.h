#pragma once

// What the benchmarks share: the process's clocks, loopback addresses enough for ten thousand
// stations, and a folder for a headless monitor window.
#include "app/AppContext.h"
#include "app/Prompter.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTemporaryDir>

#include <chrono>
#include <sys/resource.h>

namespace Bench {

inline double secondsSince(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// CPU time of the process so far, user and system: steadier than wall time on a busy machine.
inline double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The i-th of the loopback addresses 127.0.0.1, 127.0.0.2, ... 127.0.0.250, 127.0.1.1, ...
inline quint32 loopbackAddress(int i)
{
    return (127u << 24) | (quint32(i / 250) << 8) | quint32(i % 250 + 1);
}

// A data folder of its own for a headless monitor window, with the files given, and the context
// that starts the window on it (no alarm port, message boxes to standard error).
class HeadlessFolder {
public:
    void write(const QString& name, const QByteArray& bytes)
    {
        QFile file(QDir(m_dir.path()).filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
    // Ip.txt with `count` loopback addresses named by `name(i)`, GBK-free ASCII or UTF-8 names.
    template <typename Name>
    void writeLoopbackList(int count, Name name)
    {
        QByteArray list;
        for (int i = 0; i < count; ++i)
            list += QHostAddress(loopbackAddress(i)).toString().toLatin1() + ':' + name(i) + "\r\n";
        write(QStringLiteral("Ip.txt"), list);
    }
    AppContext context()
    {
        AppContext context;
        context.dataDir = m_dir.path();
        context.prompter = &m_prompter;
        context.headless = true;
        context.alarmPort = 0;
        return context;
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    StreamPrompter m_prompter;
};

} // namespace Bench
