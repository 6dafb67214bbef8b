// Ending the program at any moment: the close box, 終了 and a quit request (what SIGTERM and
// SIGHUP make) while a screen waits for pages, the monitor runs a pass or waits, a minute is
// collected, a download or an import runs, or a message box is open. Each activity runs from the
// application's own loop, as a menu click does, against a local server that never answers; the
// moment to quit is taken from what the program has done (requests received, lists filled), never
// from a clock. The loop returning at all is the test: before, the nested waits kept it forever.
#include "app/FirstRunDialog.h"
#include "app/MainWindow.h"
#include "app/QtDialogs.h"
#include "app/RealtimeWiring.h"
#include "app/ScreenWiring.h"
#include "common/Quit.h"
#include "realtime/RealWindow.h"
#include "screen/RankingWindow.h"
#include "support/DemoWindow.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProgressBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace velor;

namespace {

// Answers the paths it knows from a folder (those `answers` lets through) and holds every other
// request without a word.
class StallServer {
public:
    std::function<void(const QByteArray &path)> onRequest;
    QString folder;   ///< when set, paths found there are answered with the file
    std::function<bool(const QByteArray &path)> answers = [](const QByteArray &) { return true; };
    int received = 0;
    int stalled = 0;   ///< requests held without an answer
    int open = 0;

    StallServer()
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                ++open;
                QObject::connect(s, &QTcpSocket::disconnected, s, [this, s] {
                    --open;
                    s->deleteLater();
                });
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    m_buffer[s] += s->readAll();
                    if (!m_buffer[s].contains("\r\n\r\n")) return;
                    const QByteArray path = m_buffer.take(s).split(' ').value(1);
                    ++received;
                    QFile f(folder + QString::fromUtf8(path) + (path.endsWith('/') ? "index.html" : ""));
                    if (!folder.isEmpty() && answers(path) && f.open(QIODevice::ReadOnly)) {
                        const QByteArray body = f.readAll();
                        s->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                                 "\r\nConnection: close\r\n\r\n" + body);
                    } else {
                        ++stalled;
                    }
                    if (onRequest) onRequest(path);
                });
            }
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

private:
    QHash<QTcpSocket *, QByteArray> m_buffer;
    QTcpServer m_server;
};

// Ends the test program when the loop never returns: a hang is this test's failure.
class HangGuard {
public:
    HangGuard()
        : m_thread([this] {
              std::unique_lock lock(m_mutex);
              if (!m_cv.wait_for(lock, std::chrono::seconds(120), [this] { return m_done; })) {
                  std::fprintf(stderr, "FAILED: the program did not end after the quit request\n");
                  std::_Exit(1);
              }
          })
    {
    }
    ~HangGuard()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    std::thread m_thread;
};

struct QuitWhileBusy : ::testing::Test {
    static void SetUpTestSuite() { test::ensureGuiApp(); }
    void SetUp() override
    {
        test::openDemoWindow(dir.path(), 30, QDateTime(QDate(2026, 11, 30), QTime(10, 15)), st, env, w, &net);
        st.sites.FetchTimeoutSeconds = 600;   // nothing here ends by a time-out
        st.sites.MaxConnections = 4;
    }
    void TearDown() override
    {
        w.reset();
        test::forgetQuit();
    }
    /// Starts the activity from the application's loop and runs that loop until the program ends;
    /// true when the activity's handler returned.
    bool runUntilEnd(const std::function<void()> &activity)
    {
        bool returned = false;
        QTimer::singleShot(0, w.get(), [&] {
            activity();
            returned = true;
        });
        HangGuard guard;
        QApplication::exec();
        return returned;
    }
    /// Lets the server see the connections the program closed.
    void settle(StallServer &server)
    {
        for (int i = 0; i < 200 && server.open > 0; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QTemporaryDir dir;
    State st;
    test::TestEnv env;
    QtNet net;
    std::unique_ptr<MainWindow> w;
};

} // namespace

TEST_F(QuitWhileBusy, CloseBoxWhileAScreenWaitsForPages)
{
    StallServer server;
    st.sites.QuoteUrl = server.base();
    int receivedAtClose = -1;
    server.onRequest = [&](const QByteArray &) {
        if (server.stalled == 4 && receivedAtClose < 0) {
            receivedAtClose = server.received;
            w->close();
        }
    };
    EXPECT_TRUE(runUntilEnd([&] { w->click(QStringLiteral("F757")); }));   // PER
    EXPECT_EQ(receivedAtClose, 4);   // every connection waits
    EXPECT_TRUE(quitRequested());
    EXPECT_FALSE(w->isVisible());
    settle(server);
    EXPECT_EQ(server.open, 0);
    EXPECT_EQ(server.received, 4);   // no page was asked for after the close
}

TEST_F(QuitWhileBusy, ExitCommandWhileTheMonitorRunsAPass)
{
    // The pass's pages of the stocks never come (1001's page is the futures page, read from disk).
    StallServer server;
    st.sites.QuoteUrl = server.base();
    int receivedAtExit = -1;
    server.onRequest = [&](const QByteArray &) {
        if (server.stalled == 4 && receivedAtExit < 0) {
            receivedAtExit = server.received;
            w->click(QStringLiteral("F040"));   // 終了
        }
    };
    EXPECT_TRUE(runUntilEnd([&] { w->click(QStringLiteral("F666")); }));
    EXPECT_GE(receivedAtExit, 4);
    EXPECT_EQ(server.received, receivedAtExit);
    RealWindow *win = monitorWindow(*w);
    ASSERT_NE(win, nullptr);
    EXPECT_FALSE(win->monitor().running());
    EXPECT_FALSE(win->isVisible());
    settle(server);
    EXPECT_EQ(server.open, 0);
}

TEST_F(QuitWhileBusy, CloseBoxWhileTheMonitorWaitsBetweenPasses)
{
    // The demo's own quote pages (file://) fill the lists; then an hour's wait begins.
    st.RealParam = 3600;
    QTimer poll;
    int passesAtClose = -1;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        RealWindow *win = monitorWindow(*w);
        if (!win || win->List[1]->count() == 0 || passesAtClose >= 0) return;
        passesAtClose = win->monitor().passCount();
        w->close();
    });
    poll.start(0);
    EXPECT_TRUE(runUntilEnd([&] { w->click(QStringLiteral("F666")); }));
    poll.stop();
    EXPECT_EQ(passesAtClose, 1);   // the second pass was in its wait
    RealWindow *win = monitorWindow(*w);
    ASSERT_NE(win, nullptr);
    EXPECT_FALSE(win->monitor().running());
    EXPECT_EQ(win->monitor().passCount(), 2);
}

TEST_F(QuitWhileBusy, QuitRequestWhileAMinuteIsCollected)
{
    // The watch list's stocks' pages never come (1001's page is the futures page, read from disk).
    StallServer server;
    st.sites.QuoteUrl = server.base();
    int receivedAtQuit = -1;
    server.onRequest = [&](const QByteArray &) {
        if (server.stalled == 1 && receivedAtQuit < 0) {
            receivedAtQuit = server.received;
            requestQuit();   // what SIGTERM does
        }
    };
    EXPECT_TRUE(runUntilEnd([&] { w->click(QStringLiteral("funashi"), 0); }));   // 分足オン collects at once
    EXPECT_GT(receivedAtQuit, 0);
    // The tick's first pages are asked for together; none after the quit, though the watch lists
    // hold many more stocks.
    EXPECT_LE(server.received, st.sites.MaxConnections);
    settle(server);
    EXPECT_EQ(server.open, 0);
}

TEST_F(QuitWhileBusy, CloseBoxWhileADownloadWaitsForAnArchiveKeepsNothingOfIt)
{
    // The top page comes; the first archive never does.
    StallServer server;
    server.folder = dir.path() + QStringLiteral("/site");
    st.sites.DataSiteUrl = server.base() + QStringLiteral("/");
    QByteArray stalled;
    server.onRequest = [&](const QByteArray &path) {
        if (path.endsWith(".lzh") && stalled.isEmpty()) {
            stalled = path;
            w->close();
        }
    };
    QDir(dir.path() + QStringLiteral("/site/data2026")).rename(QStringLiteral("D261130.lzh"), QStringLiteral("kept.lzh"));
    EXPECT_TRUE(runUntilEnd([&] { w->click(QStringLiteral("JIDOU")); }));
    EXPECT_EQ(stalled, "/data2026/D261130.lzh");
    EXPECT_EQ(QDir(st.DataDir + QStringLiteral("tmp")).entryList(QDir::Files | QDir::Hidden), QStringList());
    settle(server);
    EXPECT_EQ(server.open, 0);
}

TEST_F(QuitWhileBusy, CloseBoxDuringAnImportLeavesTheDayComplete)
{
    ASSERT_TRUE(QFile::copy(dir.path() + QStringLiteral("/site/data2026/D261130.lzh"), st.DataDir + QStringLiteral("tmp/D261130.lzh")));
    const QByteArray before = test::readFile(st.DataDir + QStringLiteral("1001.csv"));
    bool closed = false;
    QObject::connect(w->ProgressBar1, &QProgressBar::valueChanged, w.get(), [&](int v) {
        if (v > 0 && !closed) {
            closed = true;
            w->close();
        }
    });
    EXPECT_TRUE(runUntilEnd([&] { w->click(QStringLiteral("SHUDOU")); }));
    EXPECT_TRUE(closed);
    // The day is in, whole: the inbox is empty and no journal is left to finish.
    EXPECT_EQ(QDir(st.DataDir + QStringLiteral("tmp")).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_FALSE(QFile::exists(st.DataDir + QStringLiteral("VELOR.jnl")));
    EXPECT_NE(test::readFile(st.DataDir + QStringLiteral("1001.csv")), before);
}

TEST_F(QuitWhileBusy, QuitRequestWhileAMessageBoxIsOpenAnswersCancel)
{
    QtDialogs dialogs;
    Answer answer = Answer::Ok;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget()) requestQuit();
    });
    poll.start(0);
    EXPECT_TRUE(runUntilEnd([&] {
        answer = dialogs.message(QStringLiteral("続けますか？"), Icon::Question, {}, Buttons::OkCancel);
    }));
    poll.stop();
    EXPECT_EQ(answer, Answer::Cancel);
    // Once the program is ending no further box is shown at all.
    EXPECT_EQ(dialogs.message(QStringLiteral("はい／いいえ"), Icon::Question, {}, Buttons::YesNo), Answer::No);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(QuitWhileBusy, QuitRequestWhileTheFirstRunDialogIsOpen)
{
    QTemporaryDir home;
    FirstRunDialog first(home.path() + QStringLiteral("/velor"), {}, env.dialogs);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (first.isVisible()) requestQuit();
    });
    poll.start(0);
    int result = -1;
    EXPECT_TRUE(runUntilEnd([&] { result = first.exec(); }));
    poll.stop();
    EXPECT_EQ(result, int(QDialog::Rejected));
    EXPECT_TRUE(first.programFolder().isEmpty());
}

TEST_F(QuitWhileBusy, QuitRequestStopsAScreenThatWalksTheMarket)
{
    // The overall ranking reads every price file and no page: it stops at the step where the
    // quit was asked for and shows what it had.
    w->click(QStringLiteral("F14"));   // makes the ranking window
    RankingWindow *r = rankingWindow(*w);
    ASSERT_NE(r, nullptr);
    ASSERT_FALSE(r->screens().stopped());
    // The bar shows a run's first step and then a few times a second: the quit comes at the first
    // step shown, and the walk ends there.
    int at = 0;
    QObject::connect(r->ProgressBar1, &QProgressBar::valueChanged, r, [&at](int v) {
        if (v > 0 && at == 0) {
            at = v;
            requestQuit();
        }
    });
    EXPECT_TRUE(runUntilEnd([&] { w->click(QStringLiteral("F14")); }));
    EXPECT_TRUE(r->screens().stopped());
    ASSERT_GT(at, 0);
    EXPECT_LT(at, st.StockCount);
    EXPECT_TRUE(r->label().contains(QStringLiteral("中止: ") + QString::number(at) + QLatin1Char('/') +
                                    QString::number(st.StockCount) + QStringLiteral(" 銘柄まで")))
        << r->label().toStdString();
}
