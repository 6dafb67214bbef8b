#pragma once
// The demo's page server: answers the quote, futures and target-price pages of a demo market on
// 127.0.0.1, each page as the market stands at the clock's time of day. It runs in the caller's
// thread, so it answers while that thread's event loop runs (a fetch waiting in a local loop is
// enough, which is how the window reads its own server).
#include "demo/MovingSite.h"

#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <atomic>
#include <thread>

class QTcpSocket;

namespace velor {
class Clock;
}

namespace velor::demo {

class DemoServer final : public QObject {
public:
    DemoServer(MarketOptions options, Clock &clock, QObject *parent = nullptr);
    ~DemoServer() override;

    /// Starts listening on 127.0.0.1:`port` (0: any free port); false when the port is taken.
    /// The market's series are then made ahead in a thread of their own, so that a monitor pass
    /// over the whole market does not wait for them.
    bool listen(int port);
    /// Stops listening, drops the open connections and ends the making ahead.
    void close();
    bool listening() const { return m_server.isListening(); }
    int port() const { return m_server.serverPort(); }
    /// "http://127.0.0.1:<port>", the base of every page address.
    QString baseAddress() const;
    /// Why listen() failed.
    QString errorText() const { return m_server.errorString(); }
    /// Requests answered so far (any status).
    int requests() const { return m_requests; }

    /// The status line and body for a request line's target at the clock's time (tests).
    std::pair<QByteArray, QByteArray> respond(const QByteArray &method, const QByteArray &target) const;

private:
    void onReadable(QTcpSocket *s);

    MovingSite m_site;
    Clock &m_clock;
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;   // request bytes not yet complete, per connection
    int m_requests = 0;
    std::atomic<bool> m_stopPreparing{false};
    std::thread m_preparing;
};

} // namespace velor::demo
