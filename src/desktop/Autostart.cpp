#include "desktop/Autostart.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <filesystem>
#include <system_error>

#if !defined(Q_OS_WIN)
#include <unistd.h>
#endif

namespace {

// Never changes with a translation: the entry must name the program the operator knows.
const QString kEntryName = QStringLiteral("Tarnwicker网络检测员V2.0");

} // namespace

Autostart::Autostart(QString executablePath, QString dataDir, QString location)
    : m_executablePath(std::move(executablePath))
    , m_dataDir(std::move(dataDir))
    , m_location(std::move(location))
{}

QString Autostart::quotedExec(const QString& argument)
{
    // Inside double quotes the desktop entry rules want ", `, $ and \ escaped by a backslash; "%"
    // would start a field code, so it is doubled. The value is then escaped once more as a string,
    // which doubles every backslash again and spells out control characters.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    quoted += u'"';
    QString value;
    for (const QChar c : quoted) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else
            value += c;
    }
    return value;
}

QString Autostart::execLine(const QString& executablePath, const QString& dataDir)
{
    return quotedExec(executablePath) + QStringLiteral(" --data-dir ") + quotedExec(dataDir);
}

QByteArray Autostart::desktopEntry(const QString& exec)
{
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=%1\n"
                                        "Exec=%2\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(kEntryName, exec);
    return text.toUtf8();
}

#ifdef Q_OS_WIN

QString Autostart::defaultLocation()
{
    return QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
}

QString Autostart::entryPath() const
{
    return m_location + QLatin1Char('\\') + QFileInfo(m_executablePath).fileName();
}

bool Autostart::write(QString* reason) const
{
    QSettings run(m_location, QSettings::NativeFormat);
    const auto quoted = [](const QString& path) {
        return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
    };
    run.setValue(QFileInfo(m_executablePath).fileName(),
                 quoted(m_executablePath) + QStringLiteral(" --data-dir ") + quoted(m_dataDir));
    run.sync();
    if (run.status() == QSettings::NoError)
        return true;
    if (reason)
        *reason = QStringLiteral("access denied");
    return false;
}

#else

QString Autostart::entryPath() const
{
    return QDir(m_location).filePath(QFileInfo(m_executablePath).fileName() + QStringLiteral(".desktop"));
}

QString Autostart::defaultLocation()
{
    if (::geteuid() == 0)
        return QStringLiteral("/etc/xdg/autostart");
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("autostart"));
}

bool Autostart::write(QString* reason) const
{
    const auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(m_location).constData(), error);
    if (error)
        return fail(QString::fromLocal8Bit(error.message()));
    QSaveFile file(entryPath());
    const QByteArray entry = desktopEntry(execLine(m_executablePath, m_dataDir));
    if (!file.open(QIODevice::WriteOnly) || file.write(entry) != entry.size() || !file.commit())
        return fail(file.errorString());
    // Readable by every user's session; QSaveFile creates the file for its owner only.
    if (!QFile::setPermissions(entryPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ReadOther))
        return fail(QFile(entryPath()).errorString());
    return true;
}

#endif
