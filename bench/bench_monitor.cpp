// One monitor pass over a market folder against a local server that answers each quote page
// after 20 ms: time with 1 and with 4 requests in flight, pages per second, whether the lists
// are the same, and the share of the pass spent scoring (the same pass with pages from memory).
#include "app/Startup.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/Launcher.h"
#include "common/Net.h"
#include "common/Sound.h"
#include "db/Services.h"
#include "db/State.h"
#include "realtime/SurgeMonitor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>

using namespace velor;

namespace {

// Every stock's page depends on its code only, so each pass scores the same way.
QByteArray pageOf(int code)
{
    const QByteArray close = QByteArray::number(100 + code % 37), open = QByteArray::number(100 + code % 11);
    return QByteArray(16000, 'x') + "\"stock_price\":\"" + close + "\"" + QByteArray(32000, 'x') + "\"openPrice\":\"" +
           open + "\",\"note\":\"abcdefghijklmnopqrstuvwxyzabcdefghijklmn\",\"highPrice\":\"" + close +
           "\",\"note\":\"abcdefghijklmnopqrstuvwxyzabcdefghijklmn\",\"lowPrice\":\"" + open +
           "\",\"note\":\"abcdefghijklmnopqrstuvwxyzabcdefghijklmn\",\"volume\":\"150,000\","
           "\"note\":\"abcdefghijklmnopqrstuvwxyzabcdefghijklmn\",\"tradingValue\":\"20,000\"";
}

int codeOfPath(const QByteArray &path)
{
    const qsizetype at = path.lastIndexOf('/');
    return path.mid(at + 1).split('.').value(0).toInt();
}

// Answers every request after 20 ms without blocking the others.
class SlowServer : public QTcpServer {
public:
    int served = 0;
    SlowServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    m_buf[s] += s->readAll();
                    if (!m_buf[s].contains("\r\n\r\n")) return;
                    const QByteArray body = pageOf(codeOfPath(m_buf[s].split(' ').value(1)));
                    m_buf.remove(s);
                    QTimer::singleShot(20, s, [this, s, body] {
                        ++served;
                        s->write("HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nContent-Length: " + QByteArray::number(body.size()) +
                                 "\r\n\r\n" + body);
                    });
                });
            }
        });
    }
private:
    QHash<QTcpSocket *, QByteArray> m_buf;
};

// Pages made once and handed out without copying, so the time is the monitor's own.
class MemoryNet final : public Net {
public:
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &) override
    {
        const int code = codeOfPath(address.toLatin1());
        auto it = m_pages.constFind(code);
        if (it == m_pages.constEnd()) it = m_pages.insert(code, pageOf(code));
        return *it;
    }
private:
    QHash<int, QByteArray> m_pages;
};

class StopAfter final : public MonitorView {
public:
    SurgeMonitor *m = nullptr;
    int passes = 2;
    void setStatus(const QString &) override {}
    void setProgressText(const QString &) override {}
    void setProgress(int, int) override {}
    void setList(int, const QStringList &) override {}
    void setListsEnabled(bool) override {}
    void setRecalcEnabled(bool) override {}
    void setWaitText(const QString &) override {}
    void placeFromMain(int, int) override {}
    void closeWindow() override {}
    void setMonitorChecked(bool) override {}
    void pump() override
    {
        if (m->running() && m->passCount() >= passes) m->Command1_Click();
    }
};

struct NoWait final : PassWait {
    void wait(int) override {}
    void wake() override {}
};

// Seconds of the scored pass (a run of base pass + one pass, less a run of the base pass alone).
double passSeconds(State &st, Net &net, int inFlight, QString *lists)
{
    FixedClock clock(QDateTime(QDate(2026, 11, 30), QTime(10, 15)));
    ConsoleDialogs dialogs;
    SystemLauncher launcher;
    SilentSound sound;
    TextShell shell;
    NoLiveQuote quote;
    Services sv{clock, net, launcher, sound, dialogs, shell, &quote};
    double secs[3] = {0, 0, 0};
    for (int passes = 1; passes <= 2; ++passes) {
        StopAfter view;
        NoWait wait;
        SurgeMonitor m(st, sv, view, wait);
        view.m = &m;
        view.passes = passes;
        m.setInFlight(inFlight);
        QElapsedTimer t;
        t.start();
        m.RealMeigara(0);
        secs[passes] = double(t.nsecsElapsed()) / 1e9;
        if (passes == 2 && lists)
            for (int k = 1; k <= 6; ++k) *lists += m.lists()[size_t(k)].join('\n') + '\n';
    }
    return std::max(secs[2] - secs[1], 1e-9);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_monitor PROGRAM_FOLDER\n");
        return 2;
    }
    State st;
    st.ProgramDir = QString::fromLocal8Bit(argv[1]) + '/';
    ConsoleDialogs dialogs;
    if (!loadDatabase(st, dialogs)) return 1;
    SlowServer server;
    if (!server.listen(QHostAddress::LocalHost)) return 1;
    st.sites.QuoteUrl = st.sites.FuturesUrl = QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort());
    st.RealSwitch = 0;
    st.RealMinPrice = 0;
    st.RealMaxPrice = 1000000;
    st.RealTurnover = 0;

    QtNet net;
    MemoryNet memory;
    QString one, four, mem;
    passSeconds(st, memory, 1, nullptr);   // makes the pages once
    const double tMem = passSeconds(st, memory, 1, &mem);
    if (argc > 2 && QByteArray(argv[2]) == "memory") {   // the scoring alone, for profiling
        std::printf("bench_monitor: scoring pass with pages from memory: %.3f s\n", tMem);
        return 0;
    }
    const double t1 = passSeconds(st, net, 1, &one);
    const double t4 = passSeconds(st, net, 4, &four);
    const int pages = st.StockCount;
    std::printf("bench_monitor: one pass over %d stocks, each page answered after 20 ms\n", pages);
    std::printf("  1 in flight: %.2f s (%.0f pages/s)\n", t1, pages / t1);
    std::printf("  4 in flight: %.2f s (%.0f pages/s), %.2fx faster than 1 (target >= 3x)\n", t4, pages / t4, t1 / t4);
    std::printf("  lists with 1 and 4 in flight identical: %s; same as from memory: %s\n", one == four ? "yes" : "NO",
                one == mem ? "yes" : "NO");
    std::printf("  scoring with pages from memory: %.3f s = %.1f%% of the 4-in-flight pass (target < 5%%)\n", tMem,
                100.0 * tMem / t4);
    return one == four ? 0 : 1;
}
