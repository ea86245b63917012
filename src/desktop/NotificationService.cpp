#include "desktop/NotificationService.h"

#ifdef TW_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QVariantMap>
#endif

NotificationService::NotificationService(QString busName)
    : m_busName(std::move(busName))
{}

bool NotificationService::isSupported()
{
#ifdef TW_HAVE_DBUS
    return true;
#else
    return false;
#endif
}

void NotificationService::notify(const QString& title, const QString& text)
{
#ifdef TW_HAVE_DBUS
    QDBusConnection bus = m_busName.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(m_busName);
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
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
