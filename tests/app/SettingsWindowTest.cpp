// 設定… on a small demo: bad values named beside their fields with nothing written, OK writing
// only what changed (every other byte of both files kept), the values in the running state at
// once, and 接続を確かめる against a local page server and a port where nothing listens.
#include "app/MainWindow.h"
#include "app/SettingsForm.h"
#include "app/SettingsWindow.h"
#include "common/Cp932.h"
#include "support/DemoWindow.h"
#include "support/GuiApp.h"
#include "../screen/PageServer.h"

#include <QCheckBox>
#include <QPointer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

using namespace velor;

namespace {

struct SettingsWindow : ::testing::Test {
    static void SetUpTestSuite() { test::ensureGuiApp(); }
    void open(Net *net = nullptr)
    {
        test::openDemoWindow(dir.path(), 30, QDateTime(QDate(2026, 11, 30), QTime(10, 15)), st, env, w, net);
    }
    SettingsDialog *dialog()
    {
        w->action("SETTEI")->trigger();
        auto *d = w->findChild<SettingsDialog *>();
        return d && d->isVisible() ? d : nullptr;
    }
    QString ini() const { return st.ProgramDir + QStringLiteral("VELOR.ini"); }
    QString sites() const { return st.ProgramDir + QStringLiteral("sites.ini"); }
    QTemporaryDir dir;
    State st;
    test::TestEnv env;
    std::unique_ptr<MainWindow> w;
};

} // namespace

TEST_F(SettingsWindow, BadValuesAreNamedBesideTheirFieldsAndNothingIsWritten)
{
    open();
    EXPECT_EQ(w->action("SETTEI")->text(), QStringLiteral("設定…"));
    const QByteArray iniBefore = test::readFile(ini()), sitesBefore = test::readFile(sites());
    const QString address = QStringLiteral("http:// か https:// か file:// で始まるアドレスを入れてください（空白は使えません）。");
    struct Case { const char *id; QString typed; QString said; };
    const Case cases[] = {
        {"RankRows", "0", "1 から 1,000 までの整数を入れてください。"},
        {"RankRows", "abc", "1 から 1,000 までの整数を入れてください。"},
        {"RankRows", "2.5", "1 から 1,000 までの整数を入れてください。"},
        {"RankRows", "", "1 から 1,000 までの整数を入れてください。"},
        {"DispBars", "0", "1 から 1,600 までの整数を入れてください。"},
        {"DispBars", "1601", "1 から 1,600 までの整数を入れてください。"},
        {"MaWidth2", "13", "短期移動平均の本数（13）より大きくしてください。"},
        {"FilterMaxPrice", "50", "絞り込みの最低株価（100）より大きくしてください。"},
        {"RealMaxPrice", "１００", "最低株価（100）より大きくしてください。"},
        {"FilterMinPrice", "100000000", "0 から 99,999,999 までの整数を入れてください。"},
        {"FetchTimeoutSeconds", "601", "1 から 600 までの整数を入れてください。"},
        {"MaxConnections", "0", "1 から 32 までの整数を入れてください。"},
        {"VolLimit", "-1", "0 以上の金額（円）を数字で入れてください。"},
        {"FilterTurnoverBase", "三億", "0 以上の金額（円）を数字で入れてください。"},
        {"RsiPeriod1", "1", "2 から 300 までの整数を入れてください。"},
        {"PsyPeriod2", "301", "1 から 300 までの整数を入れてください。"},
        {"DataSiteUrl", "price data", address},
        {"QuoteUrl", "ftp://quotes.example/", address},
        {"NameListUrl", "http://", address},
        {"HomePageUrl", "https://velor.example/a b", address},
    };
    for (const Case &c : cases) {
        SettingsDialog *d = dialog();
        ASSERT_NE(d, nullptr) << c.id;
        const QString id = QString::fromLatin1(c.id);
        ASSERT_NE(d->edit(id), nullptr) << c.id;
        d->edit(id)->setText(c.typed);
        d->okButton->click();
        EXPECT_TRUE(d->isVisible()) << c.id;
        EXPECT_EQ(d->note(id)->text(), c.said) << c.id << " " << c.typed.toStdString();
        EXPECT_FALSE(d->note(id)->isHidden()) << c.id;
        EXPECT_EQ(d->problem->text(), QStringLiteral("正しくない値が 1 か所あります。赤字の説明に従って直してください。")) << c.id;
        // The tab of the bad field is shown.
        EXPECT_TRUE(d->tabs->currentWidget()->isAncestorOf(d->edit(id))) << c.id;
        d->cancelButton->click();
        QApplication::processEvents();
        EXPECT_EQ(test::readFile(ini()), iniBefore) << c.id;
        EXPECT_EQ(test::readFile(sites()), sitesBefore) << c.id;
    }
    EXPECT_EQ(st.RankRows, 20);
    // Two bad fields: both named, the count says so.
    SettingsDialog *d = dialog();
    d->edit("RankRows")->setText("-3");
    d->edit("CompanyUrl")->setText("company");
    d->okButton->click();
    EXPECT_EQ(d->note("RankRows")->text(), QStringLiteral("1 から 1,000 までの整数を入れてください。"));
    EXPECT_EQ(d->note("CompanyUrl")->text(), address);
    EXPECT_TRUE(d->note("MaWidth1")->isHidden());
    EXPECT_EQ(d->problem->text(), QStringLiteral("正しくない値が 2 か所あります。赤字の説明に従って直してください。"));
}

TEST_F(SettingsWindow, OkWritesOnlyWhatChangedKeepsEveryOtherByteAndUsesTheValuesAtOnce)
{
    open();
    // Files as a user may have left them: comments, another section, blanks around fields,
    // a quoted label with a comma, a key only in a comment.
    QByteArray sitesText = test::readFile(sites());
    sitesText.replace("[sites]\r\n", "; 自分のメモ：価格は夕方に更新\r\n[sites]\r\n;QuoteUrl=https://old.example\r\n");
    sitesText += "\r\n[other]\r\nDataSiteUrl=keep-me\r\n";
    test::writeFile(sites(), sitesText);
    QByteArray iniText = test::readFile(ini());
    iniText.replace("0,0,20,0\r\n", "0, 0 , 20 ,0\r\n");
    iniText.replace(toCp932(QStringLiteral("1,\"RSI\",9,14\r\n")), toCp932(QStringLiteral("1,\"RSI, 短期と長期\",9,14\r\n")));
    test::writeFile(ini(), iniText);
    st.DispBars = 200;   // as 倍にする left it: a value not changed in the window stays as the run has it

    SettingsDialog *d = dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->edit("RankRows")->text(), QStringLiteral("20"));
    EXPECT_EQ(d->edit("DispBars")->text(), QStringLiteral("100"));
    EXPECT_EQ(d->edit("RsiPeriod1")->text(), QStringLiteral("9"));
    EXPECT_FALSE(d->check("DoneSound")->isChecked());
    const QString oldSite = d->edit("DataSiteUrl")->text();
    EXPECT_TRUE(oldSite.startsWith("file://")) << oldSite.toStdString();
    d->edit("RankRows")->setText(QStringLiteral("３０"));
    d->edit("RsiPeriod1")->setText("10");
    d->edit("VolLimit")->setText("1.5e8");
    d->check("DoneSound")->setChecked(true);
    d->edit("DataSiteUrl")->setText(" https://prices.example/ ");
    d->edit("NameListUrl")->setText("");
    d->edit("FetchTimeoutSeconds")->setText("20");
    d->edit("MaxConnections")->setText("4");   // as it was: not written again
    QPointer<SettingsDialog> guard(d);
    d->okButton->click();
    EXPECT_FALSE(d->isVisible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());   // closed windows are not kept

    QByteArray expectedIni = iniText;
    expectedIni.replace("13,26,100\r\n0, 0 , 20 ,0\r\n5,100000000,0\r\n", "13,26,100\r\n0, 0 , 30 ,0\r\n5,150000000,0\r\n");
    expectedIni.replace("0,0,100,50000,50000000,3\r\n", "1,0,100,50000,50000000,3\r\n");
    expectedIni.replace(toCp932(QStringLiteral("1,\"RSI, 短期と長期\",9,14\r\n")), toCp932(QStringLiteral("1,\"RSI, 短期と長期\",10,14\r\n")));
    EXPECT_EQ(test::readFile(ini()), expectedIni);
    QByteArray expectedSites = sitesText;
    expectedSites.replace("DataSiteUrl=" + oldSite.toUtf8() + "\r\n", "DataSiteUrl=https://prices.example/\r\n");
    {
        // NameListUrl's line keeps its place with an empty value.
        const qsizetype at = expectedSites.indexOf("NameListUrl=") + 12;
        expectedSites.remove(at, expectedSites.indexOf("\r\n", at) - at);
    }
    expectedSites.replace("FetchTimeoutSeconds=10\r\n", "FetchTimeoutSeconds=20\r\n");
    EXPECT_EQ(test::readFile(sites()), expectedSites);

    // The state as loading the files sets it.
    EXPECT_EQ(st.RankRows, 30);
    EXPECT_EQ(st.RsiPeriod1, 10);
    EXPECT_EQ(st.VolLimit, 1.5e8);
    EXPECT_EQ(st.DoneSound, 1);
    EXPECT_EQ(st.DispBars, 200);
    EXPECT_EQ(st.sites.DataSiteUrl, QStringLiteral("https://prices.example/"));
    EXPECT_EQ(st.sites.NameListUrl, QString());
    EXPECT_EQ(st.sites.FetchTimeoutSeconds, 20);
    EXPECT_TRUE(w->messages().startsWith(QStringLiteral("設定を保存しました（7 項目）。\r\n"))) << w->messages().toStdString();

    // Opened again, the window shows what was written; OK with nothing changed writes nothing.
    d = dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->edit("RankRows")->text(), QStringLiteral("30"));
    EXPECT_EQ(d->edit("VolLimit")->text(), QStringLiteral("150000000"));
    const QString pane = w->messages();
    d->okButton->click();
    EXPECT_EQ(w->messages(), pane);
    EXPECT_EQ(test::readFile(ini()), expectedIni);
    EXPECT_EQ(test::readFile(sites()), expectedSites);
}

TEST_F(SettingsWindow, TheConnectionTestSaysWhetherThePageAnsweredOrWhyNot)
{
    QtNet net;
    open(&net);
    test::PageServer server;
    ASSERT_TRUE(server.start());
    server.pages["/"] = QByteArray(12345, 'x');
    SettingsDialog *d = dialog();
    ASSERT_NE(d, nullptr);
    const QString base = server.base() + '/';
    d->edit("DataSiteUrl")->setText(base);
    d->testButton("DataSiteUrl")->click();
    EXPECT_EQ(d->note("DataSiteUrl")->text(), base + QStringLiteral("：　応答がありました（12,345 バイト）。"));
    EXPECT_TRUE(d->isVisible());
    // A page the site does not have.
    d->edit("NameListUrl")->setText(server.base() + "/names.csv");
    d->testButton("NameListUrl")->click();
    EXPECT_TRUE(d->note("NameListUrl")->text().startsWith(server.base() + QStringLiteral("/names.csv：　ページがありません（")))
        << d->note("NameListUrl")->text().toStdString();
    // A port where nothing listens answers at once with the reason.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    const QString dead = QStringLiteral("http://127.0.0.1:%1").arg(port);
    d->edit("FuturesUrl")->setText(dead);
    d->testButton("FuturesUrl")->click();
    const QString said = d->note("FuturesUrl")->text();
    EXPECT_TRUE(said.startsWith(dead + QStringLiteral("/cme/：　読めませんでした（"))) << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("応答がありました")));
    // An address that is not one is refused before anything is fetched.
    d->edit("QuoteUrl")->setText("quotes");
    d->testButton("QuoteUrl")->click();
    EXPECT_EQ(d->note("QuoteUrl")->text(), QStringLiteral("http:// か https:// か file:// で始まるアドレスを入れてください（空白は使えません）。"));
    // Nothing of this was written.
    EXPECT_FALSE(test::readFile(st.ProgramDir + "sites.ini").contains(server.base().toUtf8()));
}

TEST_F(SettingsWindow, ACloseDuringTheConnectionTestWaitsForItsEnd)
{
    QtNet net;
    open(&net);
    SettingsDialog *d = dialog();
    ASSERT_NE(d, nullptr);
    // A server that, on the request, asks the window to close and only then answers.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    bool disabledDuring = false, visibleAfterClose = false;
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        QTcpSocket *s = server.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, s, [&, s] {
            if (!s->readAll().contains("\r\n\r\n")) return;
            disabledDuring = !d->testButton("DataSiteUrl")->isEnabled() && !d->okButton->isEnabled();
            d->reject();
            visibleAfterClose = d->isVisible();
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
            s->disconnectFromHost();
        });
    });
    const QString address = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    d->edit("DataSiteUrl")->setText(address);
    QPointer<SettingsDialog> guard(d);
    d->testButton("DataSiteUrl")->click();
    EXPECT_TRUE(disabledDuring);
    EXPECT_TRUE(visibleAfterClose);
    ASSERT_FALSE(guard.isNull());
    EXPECT_FALSE(d->isVisible());   // closed once the page was in
}

// One field of a VELOR.ini line is replaced in place: the blanks around it, quoted fields with
// commas, CP932 text, line ends; a missing line or field is refused.
TEST(SettingsFields, OneFieldIsReplacedInPlace)
{
    const QByteArray label = toCp932(QStringLiteral("ソース表"));   // 0x5C as a second byte
    struct Case { QByteArray before; int line, field; QByteArray text; QByteArray after; };
    const Case cases[] = {
        {"13,26,100\r\n0, 0 , 20 ,0\r\n", 2, 2, "30", "13,26,100\r\n0, 0 , 30 ,0\r\n"},
        {"1,\"RSI, x\",9,14\r\n", 1, 2, "10", "1,\"RSI, x\",10,14\r\n"},
        {"1,\"" + label + "\",9,14\n", 1, 3, "15", "1,\"" + label + "\",9,15\n"},
        {"a\nb,c", 2, 1, "d", "a\nb,d"},
        {"5,,0\r\n", 1, 1, "100", "5,100,0\r\n"},
    };
    for (const Case &c : cases) {
        const auto r = withSettingsFields(c.before, {{c.line, c.field, c.text}});
        ASSERT_TRUE(r.has_value()) << c.before.toStdString();
        EXPECT_EQ(*r, c.after) << c.before.toStdString();
    }
    auto r = withSettingsFields("1,2\r\n", {{1, 4, "9"}});
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), QStringLiteral("初期設定ファイルの 1 行目に 5 番目の値がありません。"));
    r = withSettingsFields("1,2\r\n", {{3, 0, "9"}});
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), QStringLiteral("初期設定ファイルに 3 行目がありません。"));
}
