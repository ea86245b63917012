#pragma once

#include <QByteArray>
#include <QString>

// Start at login for every user of the machine (the registry part of CheckBox3Click). On Linux it
// is the machine-wide XDG autostart entry <folder>/<executable>.desktop whose Exec is the quoted
// full path of the executable; on Windows the value <executable file name> = "<full path>" under
// HKLM\...\Run. The entry is written when the box is checked and at every start while it stays
// checked; clearing the box leaves it in place.
class Autostart {
public:
#ifdef Q_OS_WIN
    static inline const QString kDefaultLocation =
        QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
#else
    static inline const QString kDefaultLocation = QStringLiteral("/etc/xdg/autostart");
#endif

    // executablePath: the full path of the program; location: the autostart folder (Windows: the
    // registry key), replaceable for tests.
    explicit Autostart(QString executablePath, QString location = kDefaultLocation);

    // Writes (or rewrites) the entry, creating the folder or key when it is missing. False when any
    // step fails; the window then appends "访问注册表时出错！" to the information pane.
    bool write() const;

    // Where the entry goes: the .desktop file (Windows: key path and value name).
    QString entryPath() const;

    // The desktop entry for an executable: UTF-8, with Exec quoted by the desktop entry rules.
    static QByteArray desktopEntry(const QString& executablePath);

    // The Exec value that starts exactly that file, whatever characters its path holds.
    static QString quotedExec(const QString& executablePath);

private:
    QString m_executablePath;
    QString m_location;
};
