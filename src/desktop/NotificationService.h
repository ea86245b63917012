#pragma once

#include <QString>

// The desktop's notification service (org.freedesktop.Notifications on the session bus), for a
// desktop without a notification area, where a tray entry's message cannot be shown. The call does
// not wait for an answer: a session without the service, or without a bus, loses the notice and
// holds up nothing.
class NotificationService {
public:
    static inline const QString kService = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

    // On the session bus; busName names a bus connected before (a test's own bus).
    explicit NotificationService(QString busName = {});

    // False where this build has no D-Bus (Windows).
    static bool isSupported();

    void notify(const QString& title, const QString& text);

private:
    QString m_busName;
};
