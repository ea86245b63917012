#pragma once

#include <QString>

#include <optional>

// Where the metrics are served: "[ADDRESS:]PORT" of the command line, or the port of the settings.
// Without an address only this machine may ask (127.0.0.1); another address must be named. Port 0
// serves nothing.
struct MetricsEndpoint {
    QString address = QStringLiteral("127.0.0.1");
    int port = 0;

    bool off() const { return port == 0; }
    // The listening address as the web server takes it: "127.0.0.1:9464", "[::1]:9464".
    QString listening() const;

    // Nullopt for anything but a port (0 to 65535), optionally after an IPv4 address or a bracketed
    // IPv6 address and ":".
    static std::optional<MetricsEndpoint> parse(const QString& text);
    // The port of the settings field on this machine's loopback; anything but a port is off.
    static MetricsEndpoint ofSetting(const QString& text);
};
