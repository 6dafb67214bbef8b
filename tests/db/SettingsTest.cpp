#include "common/Cp932.h"
#include "db/Settings.h"
#include "db/Sites.h"
#include "db/StockMaster.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace velor;
using velor::test::ProgramFolder;

namespace {

// Replaces line `lineNo` (1-based) of a valid settings text.
QByteArray withLine(const QString &dataDir, int lineNo, const QByteArray &text)
{
    QList<QByteArray> lines = velor::test::validSettings(dataDir).split('\n');
    lines[lineNo - 1] = text + '\r';
    return lines.join('\n');
}

} // namespace

TEST(Settings, StartupMessagesInOrder)
{
    ProgramFolder pf;
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}});
    const QString ini = QDir::toNativeSeparators(pf.program + "VELOR.ini");
    const QString readError = QStringLiteral("初期設定ファイル：　") + ini + QStringLiteral(" の読み込み中にエラーが発生しました。終了します。");
    QList<QByteArray> full = velor::test::validSettings(pf.data).split('\n');
    full.removeLast();
    const QByteArray only32 = full.mid(0, 32).join('\n') + '\n';

    struct Case { const char *what; QByteArray ini; QString text; Icon icon; bool ok; };
    const Case cases[] = {
        {"valid", velor::test::validSettings(pf.data), {}, Icon::None, true},
        {"equal widths", withLine(pf.data, 2, "26,26,100"), QStringLiteral("VELOR.iniにおける移動平均の幅のエラー"), Icon::None, false},
        {"wider short average", withLine(pf.data, 2, "30,26,100"), QStringLiteral("VELOR.iniにおける移動平均の幅のエラー"), Icon::None, false},
        {"equal price limits", withLine(pf.data, 5, "500,500,1"),
         QStringLiteral("VELOR.iniにおけるリアルタイムのランキング／絞り込みの設定値が不適正です"), Icon::None, false},
        {"32 lines", only32, readError, Icon::Error, false},
        {"not a number", withLine(pf.data, 3, "0,0,abc,0"), readError, Icon::Error, false},
        {"16-bit overflow", withLine(pf.data, 2, "13,26,40000"), readError, Icon::Error, false},
        {"too few fields", withLine(pf.data, 6, "1,0,100"), readError, Icon::Error, false},
        {"missing data folder", withLine(pf.data, 1, (pf.program + "nowhere").toUtf8()),
         QStringLiteral("株価データフォルダ：　") + pf.program + QStringLiteral("nowhere/ がありません。終了します。"), Icon::None, false},
    };
    for (const auto &c : cases) {
        velor::test::writeFile(pf.program + "VELOR.ini", c.ini);
        velor::test::ScriptedDialogs dialogs;
        State st;
        st.ProgramDir = pf.program;
        EXPECT_EQ(ReadSettings(st, dialogs), c.ok) << c.what;
        if (c.ok) {
            EXPECT_TRUE(dialogs.shown.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(dialogs.shown.size(), 1u) << c.what;
        EXPECT_EQ(dialogs.shown[0].text, c.text) << c.what;
        EXPECT_EQ(dialogs.shown[0].icon, c.icon) << c.what;
    }
}

TEST(Settings, MissingFilesAndValues)
{
    ProgramFolder pf;
    State st;
    st.ProgramDir = pf.program;
    velor::test::ScriptedDialogs dialogs;
    // No master yet.
    EXPECT_FALSE(ReadSettings(st, dialogs));
    ASSERT_EQ(dialogs.texts().size(), 1);
    EXPECT_EQ(dialogs.texts()[0], QStringLiteral("銘柄ファイル：　") + pf.data + QStringLiteral("meigara.dat がありません。終了します。"));

    // A data folder written without its trailing separator behaves the same, values as read.
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}});
    QByteArray ini = velor::test::validSettings(pf.data);
    ini.replace((pf.data + "\r\n").toUtf8(), (pf.program + "data\r\n").toUtf8());
    velor::test::writeFile(pf.program + "VELOR.ini", ini);
    velor::test::ScriptedDialogs d2;
    ASSERT_TRUE(ReadSettings(st, d2));
    EXPECT_EQ(st.DataDir, pf.data);
    EXPECT_EQ(st.MasterPath, pf.data + "meigara.dat");
    EXPECT_EQ(st.LogPath, pf.data + "VELOR.log");
    EXPECT_EQ(st.MaWidth1, 13);
    EXPECT_EQ(st.MaWidth2, 26);
    EXPECT_EQ(st.DispBars, 100);
    EXPECT_EQ(st.RankRows, 20);
    EXPECT_DOUBLE_EQ(st.VolLimit, 100000000);
    EXPECT_EQ(st.FilterMaxPrice, 50000);
    EXPECT_EQ(st.RealParam, 3);
    EXPECT_EQ(st.RsiPeriod2, 14);
    EXPECT_EQ(st.PsyPeriod1, 12);
    EXPECT_EQ(st.RciPeriod2, 26);
    EXPECT_EQ(st.InfoUrl[14], "https://info.example/14");
    EXPECT_EQ(st.FavoriteUrl[4], "https://favorite.example/4");

    // No settings file at all.
    QFile::remove(pf.program + "VELOR.ini");
    velor::test::ScriptedDialogs d3;
    EXPECT_FALSE(ReadSettings(st, d3));
    EXPECT_EQ(d3.texts().value(0), QStringLiteral("初期設定ファイル：　") + QDir::toNativeSeparators(pf.program + "VELOR.ini") +
                                        QStringLiteral(" がありません。終了します。"));
}

TEST(Settings, FieldSplittingKeepsQuotedCommas)
{
    EXPECT_EQ(splitSettingsFields(QStringLiteral(" 1 , \"a,b\" , 3")), (QStringList{"1", "a,b", "3"}));
    EXPECT_EQ(splitSettingsFields(QStringLiteral("\" 全角 \",2")), (QStringList{" 全角 ", "2"}));
    EXPECT_EQ(splitSettingsFields(QStringLiteral("")), (QStringList{""}));
}

TEST(Settings, MasterLimitWarning)
{
    for (int count : {4400, 4401}) {
        ProgramFolder pf;
        std::vector<std::tuple<int, QString, int>> entries;
        for (int i = 0; i < count; ++i) entries.emplace_back(1301 + i, QStringLiteral("銘柄"), 1);
        pf.writeMaster(entries);
        velor::test::ScriptedDialogs dialogs;
        State st;
        st.ProgramDir = pf.program;
        EXPECT_TRUE(ReadSettings(st, dialogs));
        if (count == 4400) {
            EXPECT_TRUE(dialogs.shown.empty());
        } else {
            ASSERT_EQ(dialogs.shown.size(), 1u);
            EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("銘柄総数が許容値を超えました。"));
            EXPECT_EQ(dialogs.shown[0].icon, Icon::Warning);
        }
    }
}

TEST(Sites, DefaultsAndOverrides)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/sites.ini";
    Sites none = readSites(path);
    EXPECT_EQ(none.FetchTimeoutSeconds, 10);
    velor::test::writeFile(path, "; demo\r\n[sites]\r\nQuoteUrl = file:///tmp/q\r\nFetchTimeoutSeconds=3\r\nbad line\r\n[other]\r\nCompanyUrl=x\r\n");
    Sites s = readSites(path);
    EXPECT_EQ(s.QuoteUrl, "file:///tmp/q");
    EXPECT_EQ(s.FetchTimeoutSeconds, 3);
    EXPECT_EQ(s.CompanyUrl, none.CompanyUrl);
}

// Setting keys of sites.ini keeps every other byte: comments, other sections, commented keys,
// the line ends of the file and a last line without one.
TEST(SitesKeys, SetKeysKeepEveryOtherByte)
{
    struct Case { const char *before; QList<std::pair<QString, QString>> keys; const char *after; };
    const Case cases[] = {
        {"; c\r\n[sites]\r\nA=1\r\n\r\n[x]\r\nB=2\r\n", {{"A", "9"}, {"B", "3"}}, "; c\r\n[sites]\r\nA=9\r\nB=3\r\n\r\n[x]\r\nB=2\r\n"},
        {"[sites]\nQ=1\nQ=2\n", {{"Q", "3"}}, "[sites]\nQ=1\nQ=3\n"},
        {"[sites]\r\nA=1", {{"B", "2"}}, "[sites]\r\nA=1\r\nB=2\r\n"},
        {"[sites]\r\nA=1", {{"A", "5"}}, "[sites]\r\nA=5"},
        {"; only\r\n;x", {{"A", "1"}}, "; only\r\n;x\r\n[sites]\r\nA=1\r\n"},
        {"[sites]\r\n;A=1\r\n#A=2\r\n", {{"A", "3"}}, "[sites]\r\n;A=1\r\n#A=2\r\nA=3\r\n"},
        {"[SITES]\r\n  A = 1 \r\n", {{"A", "http://x/"}}, "[SITES]\r\nA=http://x/\r\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(withSitesKeys(c.before, c.keys), QByteArray(c.after)) << c.before;
    // A file not there yet starts with the Japanese comments.
    QTemporaryDir dir;
    ASSERT_TRUE(setSitesKeys(dir.path() + "/sites.ini", {{"QuoteUrl", "https://q.example"}}).has_value());
    EXPECT_EQ(test::readFile(dir.path() + "/sites.ini"), sitesFileHeader() + "[sites]\r\nQuoteUrl=https://q.example\r\n");
}
