#include "demo/DemoServer.h"

#include "common/Clock.h"

#include <QTcpSocket>

namespace velor::demo {

namespace {

// A request head larger than this is no browser's or reader's: the connection is dropped.
constexpr qsizetype kMaxHeadBytes = 16 * 1024;

} // namespace

DemoServer::DemoServer(MarketOptions options, Clock &clock, QObject *parent)
    : QObject(parent), m_site(std::move(options)), m_clock(clock)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = m_server.nextPendingConnection()) {
            connect(s, &QTcpSocket::readyRead, this, [this, s] { onReadable(s); });
            connect(s, &QTcpSocket::disconnected, this, [this, s] {
                m_pending.remove(s);
                s->deleteLater();
            });
        }
    });
}

DemoServer::~DemoServer() { close(); }

bool DemoServer::listen(int port)
{
    if (port < 0 || port > 65535 || !m_server.listen(QHostAddress::LocalHost, quint16(port))) return false;
    if (!m_preparing.joinable()) {
        m_stopPreparing = false;
        m_preparing = std::thread([this] { m_site.prepareAll(m_stopPreparing); });
    }
    return true;
}

void DemoServer::close()
{
    m_stopPreparing = true;
    if (m_preparing.joinable()) m_preparing.join();
    m_server.close();
    // The connections are children of the server: they go without reaching back into this object.
    for (QTcpSocket *s : m_server.findChildren<QTcpSocket *>()) {
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
    m_pending.clear();
}

QString DemoServer::baseAddress() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

std::pair<QByteArray, QByteArray> DemoServer::respond(const QByteArray &method, const QByteArray &target) const
{
    if (method != "GET" && method != "HEAD") return {"405 Method Not Allowed", "method not allowed\n"};
    const std::optional<QByteArray> page = m_site.page(target, m_clock.now().time());
    if (!page) return {"404 Not Found", "not found\n"};
    return {"200 OK", *page};
}

void DemoServer::onReadable(QTcpSocket *s)
{
    QByteArray &buffer = m_pending[s];
    buffer += s->readAll();
    // Keep-alive connections carry one request after another; the pages are asked for with GET,
    // which has no body.
    for (qsizetype end = buffer.indexOf("\r\n\r\n"); end >= 0; end = buffer.indexOf("\r\n\r\n")) {
        const QByteArray head = buffer.left(end);
        buffer.remove(0, end + 4);
        const QList<QByteArray> request = head.left(head.indexOf("\r\n")).split(' ');
        const QByteArray method = request.value(0);
        const auto [status, body] = respond(method, request.value(1));
        ++m_requests;
        s->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\n\r\n" + (method == "HEAD" ? QByteArray() : body));
    }
    if (buffer.size() > kMaxHeadBytes) {
        m_pending.remove(s);
        s->abort();
    }
}

} // namespace velor::demo
