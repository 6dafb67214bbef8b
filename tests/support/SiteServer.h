#pragma once
// A price-data site on 127.0.0.1 for the download's tests: pages and archives from a table or a
// folder, and chosen paths that misbehave the way slow sites do (header-only, Qt Network).
#include <QDir>
#include <QFile>
#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace velor::test {

class SiteServer : public QTcpServer {
public:
    enum class Way {
        Whole,      ///< the whole body at once
        HalfHeld,   ///< the header and the first half of the body, then nothing (the connection stays open)
        Trickle,    ///< the header, then one byte of the body every `trickleMs`, never idle for long
    };

    SiteServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] { onRequest(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    bool start() { return listen(QHostAddress::LocalHost); }
    /// The site's top address, ending in "/".
    QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(serverPort()); }

    QHash<QByteArray, QByteArray> pages;   ///< by path ("/", "/data2024/D240109.lzh")
    QString folder;                        ///< else the file under this folder ("/" gives index.html)
    QHash<QByteArray, Way> ways;           ///< how a path is answered; Whole when not named
    int trickleMs = 100;
    QByteArrayList requested;

private:
    QByteArray bodyOf(const QByteArray &path, bool &found) const
    {
        found = true;
        if (const auto it = pages.constFind(path); it != pages.constEnd()) return *it;
        if (!folder.isEmpty()) {
            QFile f(folder + QString::fromUtf8(path == "/" ? QByteArray("/index.html") : path));
            if (f.open(QIODevice::ReadOnly)) return f.readAll();
        }
        found = false;
        return "not found";
    }
    void onRequest(QTcpSocket *s)
    {
        QByteArray &buf = m_buffers[s];
        buf += s->readAll();
        if (!buf.contains("\r\n\r\n")) return;
        const QByteArray path = buf.split(' ').value(1);
        m_buffers.remove(s);
        requested << path;
        bool found = false;
        const QByteArray body = bodyOf(path, found);
        s->write((found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                 QByteArray("Connection: close\r\nContent-Length: ") + QByteArray::number(body.size()) + "\r\n\r\n");
        const Way way = found ? ways.value(path, Way::Whole) : Way::Whole;
        if (way == Way::Whole) {
            s->write(body);
            s->disconnectFromHost();
        } else if (way == Way::HalfHeld) {
            s->write(body.left(body.size() / 2));
            s->flush();
        } else {
            auto *timer = new QTimer(s);
            auto sent = std::make_shared<qsizetype>(0);
            QObject::connect(timer, &QTimer::timeout, s, [s, timer, body, sent] {
                if (*sent >= body.size()) return timer->stop(), s->disconnectFromHost();
                s->write(body.mid((*sent)++, 1));
            });
            timer->start(trickleMs);
        }
    }
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace velor::test
