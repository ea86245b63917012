#include "metrics/MetricsServer.h"

#include "platform/AppError.h"

#include <QHostAddress>
#include <QTcpServer>

#include <CivetServer.h>
#include <civetweb.h>

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

// Whether the request is GET /metrics; anything else has been answered with its refusal.
bool isScrape(mg_connection* connection)
{
    const mg_request_info* request = mg_get_request_info(connection);
    // The target as it came (the server decodes nothing): "/metrics%00" or "/%6detrics" are not
    // the path. A query is allowed, and ignored.
    const char* target = request ? request->request_uri : nullptr;
    const std::size_t length = std::strlen(kPath);
    const bool path =
        target && std::strncmp(target, kPath, length) == 0 && (target[length] == '\0' || target[length] == '?');
    if (!path) {
        reply(connection, 404, "Not Found");
        return false;
    }
    if (!request->request_method || std::strcmp(request->request_method, "GET") != 0) {
        reply(connection, 405, "Method Not Allowed", "Allow: GET\r\n");
        return false;
    }
    return true;
}

// The web server's own complaints (a port in use) would reach standard error; the pane says it.
int quiet(const mg_connection*, const char*)
{
    return 1;
}

} // namespace

MetricsServer::MetricsServer(const MetricsEndpoint& endpoint, Exposition exposition)
    : m_exposition(std::move(exposition))
{
    CivetCallbacks callbacks;
    callbacks.begin_request = handleRequest;
    callbacks.log_message = quiet;
    // A few workers, and a request that is not complete within 5 s is dropped: connections that
    // say nothing hold off a scrape only so long. Targets are taken as they came, undecoded.
    try {
        m_server = std::make_unique<CivetServer>(
            std::vector<std::string>{"listening_ports", endpoint.listening().toStdString(), "num_threads", "4",
                                     "request_timeout_ms", "5000", "enable_keep_alive", "no", "decode_url", "no"},
            &callbacks, this);
    } catch (const std::exception&) {
        throw AppError(failureText(endpoint));
    }
}

MetricsServer::~MetricsServer() = default;

// Every request is answered here, before the web server would look for a handler or a file.
int MetricsServer::handleRequest(mg_connection* connection)
{
    if (!isScrape(connection))
        return 1;
    const auto* server = static_cast<const CivetServer*>(mg_get_user_data(mg_get_context(connection)));
    const auto* self = static_cast<const MetricsServer*>(server->getUserContext());
    const std::string body = self->m_exposition();
    mg_printf(connection,
              "HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n"
              "Content-Length: %zu\r\nConnection: close\r\n\r\n",
              body.size());
    mg_write(connection, body.data(), body.size());
    return 200;
}

int MetricsServer::port() const
{
    const std::vector<int> ports = m_server->getListeningPorts();
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
