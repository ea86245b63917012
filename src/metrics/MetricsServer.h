#pragma once

#include "metrics/MetricsEndpoint.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>

class CivetServer;

// Serves the metrics at GET /metrics on the web server's own threads, as plain text in the
// exposition format; every other path and method is refused. Uncompressed: on loopback or a
// station's network writing the text costs less than compressing it.
class MetricsServer {
public:
    // Gives the metrics in the text exposition format; called on the server's threads.
    using Exposition = std::function<std::string()>;

    // Throws AppError with the pane's text when the endpoint cannot be listened on.
    MetricsServer(const MetricsEndpoint& endpoint, Exposition exposition);
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    int port() const;

    // Why the endpoint could not be listened on, as the pane says it.
    static QString failureText(const MetricsEndpoint& endpoint);

private:
    static int handleRequest(struct mg_connection* connection);

    Exposition m_exposition;
    std::unique_ptr<CivetServer> m_server;
};
