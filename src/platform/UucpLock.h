#pragma once

#include <QString>

// The lock convention of serial ports on Linux: a file "LCK..<device>" in the lock folder holding the
// process id of the program that uses the port, ten characters wide. A lock whose process no longer
// exists is stale and is removed; a live one makes the port busy.
class UucpLock {
public:
    static QString defaultFolder(); // /run/lock, or /var/lock where there is no /run/lock

    UucpLock(const QString& devicePath, const QString& folder = defaultFolder());
    ~UucpLock();
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // Takes the lock. False with *error set when a live process holds it or the file cannot be written;
    // a folder that is not writable at all (an unprivileged user) is no lock to take, and succeeds.
    bool acquire(QString* error);
    void release();
    bool held() const { return m_held; }

    // The file name of a device: "LCK.." and the path below /dev with "/" as "_" ("LCK..ttyACM0").
    static QString fileName(const QString& devicePath);

private:
    QString m_path;
    bool m_held = false;
};
