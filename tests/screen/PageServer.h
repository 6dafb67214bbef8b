#pragma once
// A small HTTP server on 127.0.0.1 that answers GET requests from a table of pages, each after
// an optional delay, and counts how many requests it held at once.
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace velor::test {

/// Answers one request with the page held for its path (404 when there is none) and closes.
inline void writePage(QTcpSocket *s, const QHash<QByteArray, QByteArray> &pages, const QByteArray &path)
{
    const auto it = pages.constFind(path);
    const QByteArray body = it == pages.constEnd() ? QByteArray("not found") : *it;
    s->write((it == pages.constEnd() ? "HTTP/1.1 404 Not Found\r\n" : "HTTP/1.1 200 OK\r\n") +
             QByteArray("Content-Type: text/html; charset=utf-8\r\nConnection: close\r\nContent-Length: ") +
             QByteArray::number(body.size()) + "\r\n\r\n" + body);
    s->disconnectFromHost();
}

class PageServer : public QTcpServer {
public:
    explicit PageServer(int delayMs = 0) : m_delayMs(delayMs)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] { onRequest(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    bool start() { return listen(QHostAddress::LocalHost); }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }

    QHash<QByteArray, QByteArray> pages;   ///< by path, "/quote/1301.T"
    int served = 0;
    int open = 0, mostOpen = 0;

private:
    void onRequest(QTcpSocket *s)
    {
        QByteArray &buf = m_buffers[s];
        buf += s->readAll();
        if (!buf.contains("\r\n\r\n")) return;
        const QByteArray path = buf.split(' ').value(1);
        m_buffers.remove(s);
        ++open;
        mostOpen = std::max(mostOpen, open);
        auto reply = [this, s, path] {
            --open;
            ++served;
            writePage(s, pages, path);
        };
        if (m_delayMs > 0) QTimer::singleShot(m_delayMs, s, reply);
        else reply();
    }
    int m_delayMs;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace velor::test
