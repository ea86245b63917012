#pragma once

#include <QByteArray>
#include <QString>

// Start at login (the registry part of CheckBox3Click). On Linux it is the XDG autostart entry
// <folder>/<executable>.desktop whose Exec is the quoted full path of the executable and the
// --data-dir in use, so that the program started at login finds the same settings and lists; on
// Windows the value <executable file name> = "<full path>" --data-dir "<folder>" under
// HKLM\...\Run. Root writes the machine-wide entry in /etc/xdg/autostart; any other user, who may
// not write there, gets the entry of his own in ~/.config/autostart. The entry is written when the
// box is checked and at every start while it stays checked; clearing the box leaves it in place.
class Autostart {
public:
    // Where the entry goes for this process: the machine-wide folder for root (Windows: the Run key
    // under HKLM), the user's own autostart folder otherwise.
    static QString defaultLocation();

    // executablePath: the full path of the program; dataDir: its folder of files; location: the
    // autostart folder (Windows: the registry key), replaceable for tests.
    Autostart(QString executablePath, QString dataDir, QString location = defaultLocation());

    // Writes (or rewrites) the entry, creating the folder or key when it is missing. False when any
    // step fails, with the system's reason in *reason; the window then appends "访问注册表时出错！"
    // and a line naming the entry and the reason to the information pane.
    bool write(QString* reason = nullptr) const;

    // Where the entry goes: the .desktop file (Windows: key path and value name).
    QString entryPath() const;

    // The desktop entry whose Exec is the command line.
    static QByteArray desktopEntry(const QString& exec);

    // The Exec value: the executable and --data-dir with the folder, each quoted.
    static QString execLine(const QString& executablePath, const QString& dataDir);

    // One argument of Exec, quoted so that it stands for exactly that text, whatever it holds.
    static QString quotedExec(const QString& argument);

private:
    QString m_executablePath;
    QString m_dataDir;
    QString m_location;
};
