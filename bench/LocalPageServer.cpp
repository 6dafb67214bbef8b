#include "LocalPageServer.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace velor::bench {

LocalPageServer::LocalPageServer(QString folder, int delayMs, QObject *parent)
    : QObject(parent), m_folder(std::move(folder)), m_delayMs(delayMs)
{
    m_server.listen(QHostAddress::LocalHost);
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

LocalPageServer::~LocalPageServer()
{
    // The open connections close with the server after our members are gone: nothing of theirs
    // may reach back into this object then.
    for (QTcpSocket *s : m_server.findChildren<QTcpSocket *>()) s->disconnect(this);
}

QString LocalPageServer::baseAddress() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

void LocalPageServer::onReadable(QTcpSocket *s)
{
    QByteArray &buffer = m_pending[s];
    buffer += s->readAll();
    // Keep-alive connections carry one request after another; a GET has no body.
    for (qsizetype end = buffer.indexOf("\r\n\r\n"); end >= 0; end = buffer.indexOf("\r\n\r\n")) {
        const QByteArray head = buffer.left(end);
        buffer.remove(0, end + 4);
        const QByteArray path = head.left(head.indexOf("\r\n")).split(' ').value(1);
        ++m_requests;
        m_maxWaiting = std::max(m_maxWaiting, ++m_waiting);
        QPointer<QTcpSocket> socket(s);
        QTimer::singleShot(m_delayMs, this, [this, socket, path] {
            --m_waiting;
            if (socket && socket->state() == QAbstractSocket::ConnectedState) answer(socket, path);
        });
    }
}

QByteArray LocalPageServer::fileFor(const QByteArray &path, bool &found) const
{
    found = false;
    const QString relative = QUrl::fromPercentEncoding(path.left(path.indexOf('?') < 0 ? path.size() : path.indexOf('?')));
    if (!relative.startsWith('/') || relative.split('/').contains(QStringLiteral(".."))) return {};
    QFile f(QDir(m_folder).filePath(relative.mid(1)));
    if (!f.open(QIODevice::ReadOnly)) return {};
    found = true;
    return f.readAll();
}

void LocalPageServer::answer(QTcpSocket *s, const QByteArray &path)
{
    bool found = false;
    const QByteArray body = fileFor(path, found);
    const QByteArray status = found ? "200 OK" : "404 Not Found";
    s->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) +
             "\r\n\r\n" + body);
}

} // namespace velor::bench
