#pragma once

#include "metrics/MetricsEndpoint.h"

#include <QString>

#include <functional>
#include <memory>

class MetricsServer;
class MonitorMetrics;

// The metrics of a running monitor: kept and served only when an endpoint is set. A port that
// cannot be listened on is one line in the pane, and the monitor runs on without metrics.
class MetricsService {
public:
    MetricsService();
    ~MetricsService();
    MetricsService(const MetricsService&) = delete;
    MetricsService& operator=(const MetricsService&) = delete;

    // Returns the metrics to feed, or null when they are off or could not be served.
    MonitorMetrics* start(const MetricsEndpoint& endpoint, const std::function<void(const QString&)>& addInfo);

    // The port served on; 0 when nothing is served.
    int port() const;

private:
    std::unique_ptr<MonitorMetrics> m_metrics;
    std::unique_ptr<MetricsServer> m_server; // after the metrics: it stops serving them first
};
