#include "platform/ProgramFolder.h"

#include "platform/CodePage.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

ProgramFolder::ProgramFolder(QString path, bool userDataDir, QString executableDir)
    : m_path(std::move(path))
    , m_userDataDir(userDataDir)
    , m_executableDir(std::move(executableDir))
{}

ProgramFolder ProgramFolder::choose(const QString& dataDirOption, const QString& executableDir)
{
    if (!dataDirOption.isEmpty())
        return ProgramFolder(QDir(dataDirOption).absolutePath(), false, executableDir);
    if (canHoldFiles(executableDir))
        return ProgramFolder(executableDir, false, executableDir);
    return ProgramFolder(userDataDir(), true, executableDir);
}

bool ProgramFolder::canHoldFiles(const QString& executableDir)
{
    const QFileInfo dir(executableDir);
    if (!dir.isDir() || !dir.isWritable())
        return false;
#if defined(Q_OS_UNIX)
    const QString canonical = dir.canonicalFilePath();
    if (canonical == QStringLiteral("/usr") || canonical.startsWith(QStringLiteral("/usr/")))
        return false;
#endif
    return true;
}

QString ProgramFolder::userDataDir()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("tarnwicker"));
}

QString ProgramFolder::firstAddressLine()
{
    return QStringLiteral("127.0.0.1:本地地址");
}

void ProgramFolder::prepare() const
{
    if (QFileInfo(m_path).isDir())
        return;
    QDir().mkpath(m_path);
    if (m_userDataDir)
        TextFile::writeBytes(QDir(m_path).filePath(QStringLiteral("Ip.txt")),
                             CodePage::linesToGbk({firstAddressLine()}));
}

QString ProgramFolder::notice() const
{
    if (!m_userDataDir)
        return {};
    return QStringLiteral("程序所在的文件夹%1不能存放数据，使用数据文件夹：%2")
        .arg(QDir::toNativeSeparators(m_executableDir), QDir::toNativeSeparators(m_path));
}
