#include "platform/StderrCapture.h"

#include <QtGlobal>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

StderrCapture::StderrCapture()
{
#if defined(Q_OS_UNIX)
    std::fflush(stderr);
    m_file = std::tmpfile();
    if (!m_file)
        return;
    m_saved = ::dup(STDERR_FILENO);
    if (m_saved < 0 || ::dup2(::fileno(m_file), STDERR_FILENO) < 0) {
        if (m_saved >= 0)
            ::close(m_saved);
        m_saved = -1;
        std::fclose(m_file);
        m_file = nullptr;
    }
#endif
}

StderrCapture::~StderrCapture()
{
    release();
}

QByteArray StderrCapture::release()
{
    QByteArray said;
#if defined(Q_OS_UNIX)
    if (!m_file)
        return said;
    std::fflush(stderr);
    ::dup2(m_saved, STDERR_FILENO);
    ::close(m_saved);
    m_saved = -1;
    std::rewind(m_file);
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, m_file)) > 0;)
        said.append(chunk, qsizetype(n));
    std::fclose(m_file);
    m_file = nullptr;
#endif
    return said;
}
