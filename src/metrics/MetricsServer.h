#pragma once

#include "metrics/MetricsEndpoint.h"

#include <QString>

#include <memory>
#include <vector>

namespace prometheus {
class Collectable;
class Exposer;
} // namespace prometheus

// Serves the registry's metrics at GET /metrics through the client library's exposer, on its own
// threads. Every other path and method is refused before the exposer sees it: the exposer would
// answer /metrics/anything and leave other methods to the web server's defaults.
class MetricsServer {
public:
    // Throws AppError with the pane's text when the endpoint cannot be listened on.
    MetricsServer(const MetricsEndpoint& endpoint, std::vector<std::weak_ptr<prometheus::Collectable>> collectables);
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    int port() const;

    // Why the endpoint could not be listened on, as the pane says it.
    static QString failureText(const MetricsEndpoint& endpoint);

private:
    std::unique_ptr<prometheus::Exposer> m_exposer;
};
