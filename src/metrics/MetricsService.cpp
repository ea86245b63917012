#include "metrics/MetricsService.h"

#include "metrics/MetricsServer.h"
#include "metrics/MonitorMetrics.h"
#include "platform/AppError.h"

MetricsService::MetricsService() = default;
MetricsService::~MetricsService() = default;

MonitorMetrics* MetricsService::start(const MetricsEndpoint& endpoint,
                                      const std::function<void(const QString&)>& addInfo)
{
    if (endpoint.off())
        return nullptr;
    auto metrics = std::make_unique<MonitorMetrics>();
    try {
        m_server = std::make_unique<MetricsServer>(endpoint, [m = metrics.get()] { return m->exposition(); });
    } catch (const AppError& e) {
        addInfo(e.text());
        return nullptr;
    }
    m_metrics = std::move(metrics);
    return m_metrics.get();
}

int MetricsService::port() const
{
    return m_server ? m_server->port() : 0;
}
