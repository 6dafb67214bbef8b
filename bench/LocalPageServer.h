#pragma once
// A small HTTP server on 127.0.0.1 for the benchmarks: it answers GET requests with the files of a
// folder, each after a fixed delay, as a distant web server would. It runs in the caller's thread,
// so it answers while the caller's event loop runs (a fetch waiting in a local loop is enough).
#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

namespace velor::bench {

class LocalPageServer : public QObject {
public:
    /// Serves the files under `folder` (a request for "/a/b" answers folder/a/b; a missing file or
    /// a path that climbs out of the folder answers 404), each answer `delayMs` after its request.
    explicit LocalPageServer(QString folder, int delayMs = 0, QObject *parent = nullptr);
    ~LocalPageServer() override;
    /// Whether listening started; the address of the server then is baseAddress().
    bool listening() const { return m_server.isListening(); }
    /// "http://127.0.0.1:<port>", to which a path is appended.
    QString baseAddress() const;
    void setDelay(int delayMs) { m_delayMs = delayMs; }

    int requests() const { return m_requests; }
    /// The most requests waiting for their answer at one time.
    int maxWaiting() const { return m_maxWaiting; }
    void resetCounts() { m_requests = m_maxWaiting = 0; }

private:
    void onReadable(QTcpSocket *s);
    void answer(QTcpSocket *s, const QByteArray &path);
    QByteArray fileFor(const QByteArray &path, bool &found) const;

    QTcpServer m_server;
    QString m_folder;
    int m_delayMs = 0;
    QHash<QTcpSocket *, QByteArray> m_pending;   // request bytes not yet complete, per connection
    int m_requests = 0;
    int m_waiting = 0;
    int m_maxWaiting = 0;
};

} // namespace velor::bench
