#include "desktop/Autostart.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

namespace {

// Never changes with a translation: the entry must name the program the operator knows.
const QString kEntryName = QStringLiteral("Tarnwicker网络检测员V2.0");

} // namespace

Autostart::Autostart(QString executablePath, QString location)
    : m_executablePath(std::move(executablePath))
    , m_location(std::move(location))
{}

QString Autostart::quotedExec(const QString& executablePath)
{
    // Inside double quotes the desktop entry rules want ", `, $ and \ escaped by a backslash; "%"
    // would start a field code, so it is doubled. The value is then escaped once more as a string,
    // which doubles every backslash again and spells out control characters.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : executablePath) {
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

QByteArray Autostart::desktopEntry(const QString& executablePath)
{
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=%1\n"
                                        "Exec=%2\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(kEntryName, quotedExec(executablePath));
    return text.toUtf8();
}

#ifdef Q_OS_WIN

QString Autostart::entryPath() const
{
    return m_location + QLatin1Char('\\') + QFileInfo(m_executablePath).fileName();
}

bool Autostart::write() const
{
    QSettings run(m_location, QSettings::NativeFormat);
    const QString quotedPath = QLatin1Char('"') + QDir::toNativeSeparators(m_executablePath) + QLatin1Char('"');
    run.setValue(QFileInfo(m_executablePath).fileName(), quotedPath);
    run.sync();
    return run.status() == QSettings::NoError;
}

#else

QString Autostart::entryPath() const
{
    return QDir(m_location).filePath(QFileInfo(m_executablePath).fileName() + QStringLiteral(".desktop"));
}

bool Autostart::write() const
{
    if (!QDir().mkpath(m_location))
        return false;
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray entry = desktopEntry(m_executablePath);
    if (file.write(entry) != entry.size())
        return false;
    if (!file.commit())
        return false;
    // Readable by every user's session; QSaveFile creates the file for its owner only.
    return QFile::setPermissions(entryPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

#endif
