// A first run of an installed program: where the program folder is looked for, the first-run
// dialog's three ways on, the command line's refusal, and an empty database that the first
// download or import builds.
#include "app/CommandLine.h"
#include "app/FirstRun.h"
#include "app/FirstRunDialog.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/Wiring.h"
#include "db/PriceFile.h"
#include "db/Sites.h"
#include "db/StockMaster.h"
#include "demo/DemoFolder.h"
#include "import/AutoDownload.h"
#include "import/DailyImport.h"
#include "support/DemoWindow.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <gtest/gtest.h>

using namespace velor;

namespace {

// Points HOME and the XDG folders into a temporary folder for one test and puts them back.
class UserFolders {
public:
    UserFolders()
    {
        for (const char *v : kVars) m_saved.emplace_back(v, qgetenv(v), qEnvironmentVariableIsSet(v));
        qputenv("HOME", root.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (root.path() + "/data").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (root.path() + "/config").toLocal8Bit());
        qunsetenv("VELOR_HOME");
    }
    ~UserFolders()
    {
        for (const auto &[name, value, set] : m_saved)
            if (set) qputenv(name, value);
            else qunsetenv(name);
    }
    QString path(const QString &relative) const { return root.path() + QLatin1Char('/') + relative; }
    QTemporaryDir root;

private:
    static constexpr const char *kVars[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "VELOR_HOME"};
    std::vector<std::tuple<const char *, QByteArray, bool>> m_saved;
};

QStringList filesUnder(const QString &dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

// The newest `n` daily bars of a price file, as "date,open,high,low,close,volume".
QStringList newestDaily(const QString &path, int n)
{
    QStringList out;
    const auto sections = readPriceFile(path);
    if (!sections) return {QStringLiteral("unreadable")};
    for (const auto &bar : (*sections)[0]) {
        if (int(out.size()) == n || bar.date == 0) break;
        out << QStringLiteral("%1,%2,%3,%4,%5,%6").arg(bar.date).arg(bar.open).arg(bar.high).arg(bar.low).arg(bar.close).arg(bar.volume);
    }
    return out;
}

} // namespace

TEST(FirstRun, TheProgramFolderIsLookedForInOrder)
{
    UserFolders user;
    QTemporaryDir named, exe, chosen;
    test::writeFile(chosen.path() + "/VELOR.ini", "x");
    const QString fallback = user.path("data/velor/");
    struct Case { const char *what; QString home, env, exeDir; bool exeHasIni, remembered; QString dir; bool isFallback; };
    const Case cases[] = {
        {"--home wins", named.path(), "/env", exe.path(), true, true, named.path() + '/', false},
        {"then VELOR_HOME", {}, named.path(), exe.path(), true, true, named.path() + '/', false},
        {"then the executable's folder with VELOR.ini", {}, {}, exe.path(), true, true, exe.path() + '/', false},
        {"then the remembered folder", {}, {}, exe.path(), false, true, chosen.path() + '/', false},
        {"else the user's data folder", {}, {}, exe.path(), false, false, fallback, true},
    };
    for (const Case &c : cases) {
        if (c.env.isEmpty()) qunsetenv("VELOR_HOME");
        else qputenv("VELOR_HOME", c.env.toLocal8Bit());
        QFile::remove(exe.path() + "/VELOR.ini");
        if (c.exeHasIni) test::writeFile(exe.path() + "/VELOR.ini", "x");
        QFile::remove(rememberedFolderFile());
        if (c.remembered) {
            ASSERT_TRUE(rememberProgramFolder(chosen.path()).has_value());
        }
        const ProgramFolderPlace p = locateProgramFolder(c.home, c.exeDir);
        EXPECT_EQ(p.dir, c.dir) << c.what;
        EXPECT_EQ(p.fallback, c.isFallback) << c.what;
    }
    qunsetenv("VELOR_HOME");
    ASSERT_TRUE(rememberProgramFolder(chosen.path()).has_value());
    EXPECT_EQ(test::readFile(user.path("config/velor/program-folder")), chosen.path().toUtf8() + "\n");
    // A remembered folder that lost its VELOR.ini is passed over; relative XDG paths are ignored.
    QFile::remove(chosen.path() + "/VELOR.ini");
    EXPECT_EQ(locateProgramFolder({}, exe.path()).dir, fallback);
    qputenv("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(userProgramFolder(), user.path(".local/share/velor"));
}

TEST(FirstRun, TheCommandLineNamesTheWaysToAProgramFolder)
{
    UserFolders user;
    QTemporaryDir exe;
    testing::internal::CaptureStderr();
    const int code = runCommand(*parseCommandLine({"velor", "export", "1301"}), exe.path());
    const QString err = QString::fromUtf8(testing::internal::GetCapturedStderr());
    EXPECT_EQ(code, 1);
    EXPECT_EQ(err, QStringLiteral("error: プログラムフォルダーが指定されておらず、") + user.path("data/velor") +
                       QStringLiteral(" にも VELOR.ini がありません。--home DIR か環境変数 VELOR_HOME でプログラムフォルダーを指定するか、"
                                      "velor demo DIR でデモ用のプログラムフォルダーを作って下さい（ウィンドウを開くと初回の設定ができます）。\n"));
    EXPECT_FALSE(QFileInfo::exists(user.path("data/velor")));   // a command never makes it
}

TEST(FirstRun, AnEmptyProgramFolderHoldsWhatAStartNeeds)
{
    QTemporaryDir dir;
    const QString home = dir.path() + "/velor";
    ASSERT_TRUE(writeEmptyProgramFolder(home).has_value());
    EXPECT_EQ(filesUnder(home), (QStringList{"VELOR.ini", "data/meigara.dat", "sites.ini", "touroku.dat", "touroku2.dat", "touroku3.dat"}));
    EXPECT_TRUE(QFileInfo(home + "/data/tmp").isDir());
    EXPECT_TRUE(QFileInfo(home + "/VEDAT").isDir());
    EXPECT_EQ(test::readFile(home + "/VELOR.ini"), demo::demoSettings("data"));
    // Four header words (no stocks, 300 bars a section) and six reserved bytes.
    EXPECT_EQ(test::readFile(home + "/data/meigara.dat"), QByteArray::fromHex("00002c012c012c01000000000000"));
    EXPECT_EQ(test::readFile(home + "/touroku.dat"), QByteArray());
    const Sites sites = readSites(home + "/sites.ini");
    EXPECT_EQ(sites.DataSiteUrl, Sites{}.DataSiteUrl);   // empty until the user fills it in
    EXPECT_EQ(sites.MaxConnections, 4);
    // Writing it again keeps what the user has changed.
    test::writeFile(home + "/sites.ini", "[sites]\r\nDataSiteUrl=https://prices.example/\r\n");
    ASSERT_TRUE(writeEmptyProgramFolder(home).has_value());
    EXPECT_EQ(test::readFile(home + "/sites.ini"), "[sites]\r\nDataSiteUrl=https://prices.example/\r\n");
}

TEST(FirstRun, AnEmptyDatabaseStartsAndTheFirstDownloadBuildsIt)
{
    test::ensureGuiApp();
    QTemporaryDir dir;
    demo::MarketOptions mo;
    mo.stocks = 10;
    ASSERT_TRUE(demo::writeDemoFolder(dir.path() + "/demo", mo).has_value());
    const QString home = dir.path() + "/home/";
    ASSERT_TRUE(writeEmptyProgramFolder(home).has_value());
    const QByteArray site = QUrl::fromLocalFile(dir.path() + "/demo/site").toString().toUtf8();
    test::writeFile(home + "sites.ini", "[sites]\r\nDataSiteUrl=" + site + "/\r\nQuoteUrl=" + site + "\r\nFuturesUrl=" + site + "\r\n");

    test::TestEnv env;
    env.clock.set(QDateTime(QDate(2026, 12, 14), QTime(18, 0)));
    State st;
    st.ProgramDir = home;
    ASSERT_TRUE(loadDatabase(st, env.dialogs));
    EXPECT_EQ(st.StockCount, 0);
    st.sites = readSites(home + "sites.ini");
    MainWindow w(st, env.clock, env.net, env.launcher, env.sound, env.dialogs);
    wireSubsystems(w);
    w.startUp();
    EXPECT_EQ(w.List1->count(), 0);
    EXPECT_TRUE(w.txtPrice->toPlainText().startsWith(
        QStringLiteral("株価データがまだありません。「株価データをまとめて追加（自動）」（F2）か「株価データをまとめて追加（手動）」で集めて下さい。")))
        << w.txtPrice->toPlainText().toStdString();
    EXPECT_TRUE(env.dialogs.shown.empty());

    // The site offers ten days; an empty database takes them all, newest first until the
    // archives stop, and imports them as new listings.
    w.click(QStringLiteral("JIDOU"));
    // The question, and the import's end.
    ASSERT_EQ(env.dialogs.texts().size(), 2u) << env.dialogs.texts().join("|").toStdString();
    EXPECT_EQ(env.dialogs.texts()[1], QStringLiteral("データの追加が終わりました"));
    State demoSt;
    demoSt.ProgramDir = dir.path() + "/demo/";
    ASSERT_TRUE(loadDatabase(demoSt, env.dialogs));
    demoSt.sites = readSites(demoSt.ProgramDir + "sites.ini");
    ASSERT_TRUE(JIDOU(demoSt, env.services));
    ASSERT_TRUE(MEIGARAIN(demoSt).has_value());

    EXPECT_GT(st.StockCount, 2);
    EXPECT_EQ(newestDaily(st.priceFilePath(1001), 20).size(), 10);
    for (int i = 1; i <= st.StockCount; ++i) {
        const int code = st.StockCode[size_t(i)];
        EXPECT_EQ(newestDaily(st.priceFilePath(code), 20), newestDaily(demoSt.priceFilePath(code), 10)) << code;
    }
    // Every stock of the demo that traded on those days is now listed.
    int traded = 0;
    for (int i = 1; i <= demoSt.StockCount; ++i)
        if (newestDaily(demoSt.priceFilePath(demoSt.StockCode[size_t(i)]), 1).value(0).startsWith("202612")) ++traded;
    EXPECT_EQ(st.StockCount, traded);
    EXPECT_GT(w.List1->count(), 0);
}

TEST(FirstRun, TheDialogMakesADemoOrAnEmptyFolderOrTakesAnExistingOne)
{
    test::ensureGuiApp();
    UserFolders user;
    test::ScriptedDialogs dialogs;
    {
        FirstRunDialog d(user.path("data/velor"), {}, dialogs);
        d.emptyButton->click();
        EXPECT_EQ(d.result(), int(QDialog::Accepted));
        EXPECT_EQ(d.programFolder(), user.path("data/velor/"));
        EXPECT_TRUE(QFile::exists(user.path("data/velor/VELOR.ini")));
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].icon, Icon::Information);
        EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("sites.ini の DataSiteUrl")));
    }
    {
        FirstRunDialog d(user.path("demo"), {}, dialogs);
        d.setDemoStocks(8);
        int most = 0;
        QObject::connect(d.progress, &QProgressBar::valueChanged, [&](int v) { most = std::max(most, v); });
        d.demoButton->click();
        EXPECT_EQ(d.programFolder(), user.path("demo/"));
        EXPECT_EQ(most, d.progress->maximum());
        EXPECT_TRUE(QFile::exists(user.path("demo/data/meigara.dat")));
        EXPECT_FALSE(QFileInfo::exists(user.path("demo.partial")));
        State st;
        st.ProgramDir = d.programFolder();
        EXPECT_TRUE(loadDatabase(st, dialogs));
        // Eight stocks, the two index series and two of the three stocks with letter codes (the
        // third lists during the pending days), in the exchange's order.
        EXPECT_EQ(st.StockCount, 12);
        EXPECT_EQ(codeText(st.StockCode[4]), QStringLiteral("130A"));   // after 1301
        // Its addresses name the folder it became, not the one it was written in.
        const QByteArray sites = test::readFile(user.path("demo/sites.ini"));
        EXPECT_FALSE(sites.contains(".partial")) << sites.toStdString();
        const Sites read = readSites(user.path("demo/sites.ini"));
        EXPECT_EQ(read.DataSiteUrl, QUrl::fromLocalFile(user.path("demo/site/")).toString());
        EXPECT_EQ(read.QuoteUrl, QUrl::fromLocalFile(user.path("demo/site")).toString());
    }
    {
        dialogs.shown.clear();
        dialogs.files = {user.path("demo/sites.ini"), user.path("demo/VELOR.ini")};
        FirstRunDialog d(user.path("elsewhere"), {}, dialogs);
        d.chooseButton->click();   // not a VELOR.ini: asked again
        EXPECT_TRUE(d.programFolder().isEmpty());
        ASSERT_EQ(dialogs.texts(), QStringList{QStringLiteral("プログラムフォルダーの VELOR.ini を選んで下さい。")});
        d.chooseButton->click();
        EXPECT_EQ(d.programFolder(), user.path("demo/"));
        EXPECT_EQ(rememberedProgramFolder(), user.path("demo"));
        EXPECT_FALSE(QFileInfo::exists(user.path("elsewhere")));
    }
}

TEST(FirstRun, ARememberedFolderThatWentIsNamedByTheDialogAndTheCommandLine)
{
    test::ensureGuiApp();
    UserFolders user;
    QTemporaryDir exe;
    const QString gone = user.path("usb/velor");
    ASSERT_TRUE(rememberProgramFolder(gone).has_value());
    const ProgramFolderPlace p = locateProgramFolder({}, exe.path());
    EXPECT_TRUE(p.fallback);
    EXPECT_EQ(p.dir, user.path("data/velor/"));
    EXPECT_EQ(p.missingRemembered, gone);
    const QString said = QStringLiteral("前回使ったプログラムフォルダー ") + gone +
                         QStringLiteral(" が見つかりません（VELOR.ini がありません）。フォルダーが移動・削除されたか、"
                                        "そのフォルダーのあるドライブがつながっていません。");
    testing::internal::CaptureStderr();
    EXPECT_EQ(runCommand(*parseCommandLine({"velor", "export", "1301"}), exe.path()), 1);
    const QString err = QString::fromUtf8(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(err.startsWith(QStringLiteral("error: ") + said + QStringLiteral("プログラムフォルダーが指定されておらず、"))) << err.toStdString();
    test::ScriptedDialogs dialogs;
    FirstRunDialog d(p.dir, {}, dialogs);
    d.setMissingFolder(p.missingRemembered);
    auto *label = d.findChild<QLabel *>("missingFolder");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), said + QStringLiteral("\n別の場所にあれば「既にあるプログラムフォルダーを選ぶ…」で選んで下さい。"));
    // Nothing is said when no folder was remembered.
    QFile::remove(rememberedFolderFile());
    EXPECT_EQ(locateProgramFolder({}, exe.path()).missingRemembered, QString());
}

TEST(FirstRun, OpeningAFolderWithoutAFileManagerSaysSo)
{
    test::ensureGuiApp();
    QTemporaryDir dir;
    State st;
    test::TestEnv env;
    std::unique_ptr<MainWindow> w;
    test::openDemoWindow(dir.path(), 20, QDateTime(QDate(2026, 11, 30), QTime(10, 15)), st, env, w);
    const QString vedat = QDir::toNativeSeparators(st.ProgramDir + "VEDAT"), tmp = QDir::toNativeSeparators(st.DataDir + "tmp");
    const auto noManager = [](const QString &folder) {
        return QStringLiteral("フォルダーを表示するプログラム（ファイルマネージャー）がインストールされていないため、フォルダ：　") + folder +
               QStringLiteral(" を開けませんでした。ファイルマネージャーをインストールするか、このフォルダーを直接開いて下さい。");
    };
    struct Case { bool fileManager; const char *how; QString folder; QString said; };
    const Case cases[] = {
        {true, "vedat", vedat, {}},
        {true, "F888", tmp, {}},
        {false, "vedat", vedat, noManager(vedat)},
        {false, "F888", tmp, noManager(tmp)},
    };
    for (const Case &c : cases) {
        env.launcher.fileManager = c.fileManager;
        env.launcher.commands.clear();
        env.dialogs.shown.clear();
        if (QLatin1String(c.how) == QLatin1String("vedat")) w->toolbarClick("vedat");
        else w->click(c.how);
        if (c.said.isEmpty()) {
            EXPECT_EQ(env.launcher.commands, QStringList{"folder " + QDir::fromNativeSeparators(c.folder)}) << c.how;
            EXPECT_TRUE(env.dialogs.shown.empty()) << c.how;
        } else {
            EXPECT_TRUE(env.launcher.commands.isEmpty()) << c.how;
            ASSERT_EQ(env.dialogs.shown.size(), 1u) << c.how;
            EXPECT_EQ(env.dialogs.shown[0].text, c.said);
            EXPECT_EQ(env.dialogs.shown[0].icon, Icon::Error);
        }
    }
}

TEST(FirstRun, EveryNewSitesIniExplainsItsKeysInJapanese)
{
    QTemporaryDir dir;
    const QString empty = dir.path() + "/empty", demoDir = dir.path() + "/demo", bare = dir.path() + "/bare";
    ASSERT_TRUE(writeEmptyProgramFolder(empty).has_value());
    demo::MarketOptions mo;
    mo.stocks = 8;
    ASSERT_TRUE(demo::writeDemoFolder(demoDir, mo).has_value());
    QDir().mkpath(bare);
    ASSERT_TRUE(setSitesKeys(bare + "/sites.ini", {{"MaxConnections", "2"}}).has_value());
    const QByteArray first = QStringLiteral("; VELOR が読む外部のページのアドレス（このファイルは UTF-8 です）。\r\n").toUtf8();
    for (const QString &path : {empty + "/sites.ini", demoDir + "/sites.ini", bare + "/sites.ini"}) {
        const QByteArray bytes = test::readFile(path);
        EXPECT_TRUE(bytes.startsWith(first + sitesFileHeader().mid(first.size()))) << path.toStdString();
        int comments = 0;
        for (const QByteArray &line : bytes.split('\n')) {
            if (!line.startsWith(';')) continue;
            ++comments;
            // Every comment line says something in Japanese, none in English alone.
            const QString text = QString::fromUtf8(line);
            EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3000; })) << line.toStdString();
        }
        EXPECT_GE(comments, 20) << path.toStdString();
    }
    // The keys are read as before: the empty folder's addresses are the built-in ones, the demo's
    // name its own site, and the list of names is set only in the demo.
    EXPECT_EQ(readSites(empty + "/sites.ini").DataSiteUrl, Sites{}.DataSiteUrl);
    EXPECT_EQ(readSites(empty + "/sites.ini").NameListUrl, QString());
    const Sites demoSites = readSites(demoDir + "/sites.ini");
    EXPECT_EQ(demoSites.DataSiteUrl, QUrl::fromLocalFile(demoDir + "/site").toString() + '/');
    EXPECT_EQ(demoSites.NameListUrl, QUrl::fromLocalFile(demoDir + "/site").toString() + "/names.csv");
    EXPECT_EQ(readSites(bare + "/sites.ini").MaxConnections, 2);
    EXPECT_TRUE(test::readFile(bare + "/sites.ini").endsWith("[sites]\r\nMaxConnections=2\r\n"));
}

// The demo's writing stops at the close box, 終了, 中止 and Esc, the moment taken from the
// writer's own progress: it ends at once (no further stock is written), no folder is left
// (neither the partial one nor the final one), and no main window follows. The close box and
// 終了 end the program; 中止 and Esc offer the choices again, and a demo made then works.
TEST(FirstRun, WritingTheDemoStopsAndLeavesNoFolder)
{
    test::ensureGuiApp();
    UserFolders user;
    test::ScriptedDialogs dialogs;
    enum class Way { CloseBox, QuitButton, StopButton, Escape };
    const struct { Way way; bool ends; } cases[] = {
        {Way::CloseBox, true}, {Way::QuitButton, true}, {Way::StopButton, false}, {Way::Escape, false}};
    for (const auto &c : cases) {
        FirstRunDialog d(user.path("demo"), {}, dialogs);
        d.setDemoStocks(40);
        d.show();
        int stoppedAt = 0, last = 0, total = 0;
        bool quitUsable = false;
        d.onProgress = [&](int done, int all) {
            last = done;
            total = all;
            if (done != 5 || stoppedAt) return;
            stoppedAt = done;
            quitUsable = d.quitButton->isEnabled() && d.stopButton->isVisible() && d.progress->isVisible();
            switch (c.way) {
            case Way::CloseBox: d.close(); break;
            case Way::QuitButton: d.quitButton->click(); break;
            case Way::StopButton: d.stopButton->click(); break;
            case Way::Escape: d.reject(); break;
            }
        };
        d.demoButton->click();
        EXPECT_EQ(stoppedAt, 5);
        EXPECT_EQ(last, 5) << "the writing went on after the stop";
        EXPECT_GT(total, 5);
        EXPECT_TRUE(quitUsable);
        EXPECT_FALSE(QFileInfo::exists(user.path("demo")));
        EXPECT_FALSE(QFileInfo::exists(user.path("demo.partial")));
        EXPECT_TRUE(d.programFolder().isEmpty());
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_EQ(d.isVisible(), !c.ends);
        if (c.ends) {
            EXPECT_EQ(d.result(), int(QDialog::Rejected));
            continue;
        }
        EXPECT_EQ(d.status->text(), QStringLiteral("デモ用のフォルダーの作成を中止しました。作りかけのフォルダーは削除しました。"));
        EXPECT_TRUE(d.demoButton->isEnabled());
        EXPECT_FALSE(d.stopButton->isVisible());
        d.onProgress = nullptr;
        d.demoButton->click();
        EXPECT_EQ(d.programFolder(), user.path("demo/"));
        EXPECT_TRUE(QFile::exists(user.path("demo/VELOR.ini")));
        QDir(user.path("demo")).removeRecursively();
    }
}
