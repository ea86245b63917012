#pragma once

#include <QString>

// The program's folder, where Para.ini, the lists, logs, reports and sounds live: the folder given
// by --data-dir, else the executable's own folder, as the monitor has always kept them. An
// installed program cannot keep them there (/usr/bin belongs to the package manager, and only root
// may write it), so then the user's data folder is used: $XDG_DATA_HOME/tarnwicker, usually
// ~/.local/share/tarnwicker, seeded on first start with an address list holding the local address.
class ProgramFolder {
public:
    // dataDirOption: the --data-dir value, empty when none was given.
    static ProgramFolder choose(const QString& dataDirOption, const QString& executableDir);

    // Whether the executable's folder can hold the program's files: it can be written and is not
    // under /usr, which stays the package manager's even for root.
    static bool canHoldFiles(const QString& executableDir);

    // $XDG_DATA_HOME/tarnwicker (Windows: the roaming application data folder).
    static QString userDataDir();

    // Creates the folder when it is missing; a newly created user data folder gets the address list.
    void prepare() const;

    // The line that tells the operator which folder is in use; empty when it is the usual one.
    QString notice() const;

    const QString& path() const { return m_path; }
    bool isUserDataDir() const { return m_userDataDir; }

    // "127.0.0.1:本地地址", the one line of a new address list.
    static QString firstAddressLine();

private:
    ProgramFolder(QString path, bool userDataDir, QString executableDir);

    QString m_path;
    bool m_userDataDir;
    QString m_executableDir;
};
