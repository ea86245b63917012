#include "desktop/NotificationService.h"

#ifdef TW_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFileInfo>
#include <QVariantMap>

namespace {

// Whether the session has a bus to connect to. Without one, asking for it would have the D-Bus
// library "autolaunch" a bus of its own for this process (dbus-launch on the display), which then
// outlives the monitor: a headless monitor started by the system has no session at all.
bool sessionBusExists()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace
#endif

void NotificationService::notify(const QString& title, const QString& text)
{
#ifdef TW_HAVE_DBUS
    if (!sessionBusExists())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"),
                                                       service, QStringLiteral("Notify"));
    // An alarm stays until the operator closes it; "critical" urgency asks the server for that too.
    QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(2))},
                      {QStringLiteral("desktop-entry"), QStringLiteral("tarnwicker")}};
    call << QStringLiteral("tarnwicker") << uint(0) << QStringLiteral("tarnwicker") << title << text << QStringList()
         << hints << int(-1);
    bus.asyncCall(call);
#else
    Q_UNUSED(title);
    Q_UNUSED(text);
#endif
}
