#pragma once

#include <QString>

// The desktop's notification service (org.freedesktop.Notifications on the session bus), for a
// desktop without a notification area, where a tray entry's message cannot be shown. The call does
// not wait for an answer: a session without the service, or without a bus, loses the notice and
// holds up nothing. Builds without D-Bus (Windows) have none.
namespace NotificationService {

void notify(const QString& title, const QString& text);

} // namespace NotificationService
