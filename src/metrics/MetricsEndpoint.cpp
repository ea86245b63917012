#include "metrics/MetricsEndpoint.h"

#include <QHostAddress>

#include <algorithm>

namespace {

std::optional<int> portOf(const QString& text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    // Digits only: toInt would also take a sign and surrounding blanks.
    if (!ok || text.isEmpty() || port < 0 || port > 65535 || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; }))
        return std::nullopt;
    return port;
}

} // namespace

QString MetricsEndpoint::listening() const
{
    const bool v6 = address.contains(u':');
    return (v6 ? u'[' + address + u']' : address) + u':' + QString::number(port);
}

std::optional<MetricsEndpoint> MetricsEndpoint::parse(const QString& text)
{
    MetricsEndpoint endpoint;
    const qsizetype colon = text.lastIndexOf(u':');
    const std::optional<int> port = portOf(colon < 0 ? text : text.mid(colon + 1));
    if (!port)
        return std::nullopt;
    endpoint.port = *port;
    if (colon < 0)
        return endpoint;
    QString address = text.left(colon);
    const bool bracketed = address.startsWith(u'[') && address.endsWith(u']');
    if (bracketed)
        address = address.mid(1, address.size() - 2);
    QHostAddress parsed;
    if (!parsed.setAddress(address))
        return std::nullopt;
    const bool v6 = parsed.protocol() == QAbstractSocket::IPv6Protocol;
    // An IPv6 address goes in brackets, so that its last group is not read as the port; an IPv4
    // address is written out in full (no "127.1").
    if (v6 != bracketed || (!v6 && parsed.toString() != address) || !parsed.scopeId().isEmpty())
        return std::nullopt;
    endpoint.address = parsed.toString();
    return endpoint;
}

MetricsEndpoint MetricsEndpoint::ofSetting(const QString& text)
{
    MetricsEndpoint endpoint;
    endpoint.port = portOf(text.trimmed()).value_or(0);
    return endpoint;
}
