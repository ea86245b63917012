#include "metrics/MetricsServer.h"

#include "platform/AppError.h"

#include <QHostAddress>
#include <QTcpServer>

#include <CivetServer.h>
#include <civetweb.h>
#include <prometheus/collectable.h>
#include <prometheus/exposer.h>

#include <cstring>

namespace {

constexpr const char* kPath = "/metrics";

int reply(mg_connection* connection, int status, const char* reason, const char* extraHeader = "")
{
    mg_printf(connection,
              "HTTP/1.1 %d %s\r\n%sContent-Type: text/plain\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", status,
              reason, extraHeader);
    return status;
}

// Only GET /metrics goes on to the exposer.
int filterRequest(mg_connection* connection)
{
    const mg_request_info* request = mg_get_request_info(connection);
    // The target as it came (the server decodes nothing): "/metrics%00" or "/%6detrics" are not
    // the path. A query is allowed, and ignored.
    const char* target = request ? request->request_uri : nullptr;
    const std::size_t length = std::strlen(kPath);
    const bool path =
        target && std::strncmp(target, kPath, length) == 0 && (target[length] == '\0' || target[length] == '?');
    if (!path)
        return reply(connection, 404, "Not Found");
    if (!request->request_method || std::strcmp(request->request_method, "GET") != 0)
        return reply(connection, 405, "Method Not Allowed", "Allow: GET\r\n");
    return 0;
}

// The web server's own complaints (a port in use) would reach standard error; the pane says it.
int quiet(const mg_connection*, const char*)
{
    return 1;
}

} // namespace

MetricsServer::MetricsServer(const MetricsEndpoint& endpoint,
                             std::vector<std::weak_ptr<prometheus::Collectable>> collectables)
{
    CivetCallbacks callbacks;
    callbacks.begin_request = filterRequest;
    callbacks.log_message = quiet;
    // A few workers, and a request that is not complete within 5 s is dropped: connections that
    // say nothing hold off a scrape only so long. Targets are taken as they came, undecoded.
    try {
        m_exposer = std::make_unique<prometheus::Exposer>(
            std::vector<std::string>{"listening_ports", endpoint.listening().toStdString(), "num_threads", "4",
                                     "request_timeout_ms", "5000", "enable_keep_alive", "no", "decode_url", "no"},
            &callbacks);
    } catch (const std::exception&) {
        throw AppError(failureText(endpoint));
    }
    for (const std::weak_ptr<prometheus::Collectable>& collectable : collectables)
        m_exposer->RegisterCollectable(collectable, kPath);
}

MetricsServer::~MetricsServer() = default;

int MetricsServer::port() const
{
    const std::vector<int> ports = m_exposer->GetListeningPorts();
    return ports.empty() ? 0 : ports.front();
}

QString MetricsServer::failureText(const MetricsEndpoint& endpoint)
{
    // The web server does not say why; a listener of our own on the same endpoint does.
    QTcpServer probe;
    if (!probe.listen(QHostAddress(endpoint.address), quint16(endpoint.port)) &&
        probe.serverError() != QAbstractSocket::AddressInUseError)
        return QStringLiteral("指标服务不能在%1上监听：%2，指标服务未启动。")
            .arg(endpoint.listening(), probe.errorString());
    return QStringLiteral("指标服务端口%1被占用，指标服务未启动。").arg(endpoint.port);
}
