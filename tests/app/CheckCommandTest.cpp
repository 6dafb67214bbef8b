// velor check as a script sees it: findings on standard output with a warning and exit 0, a
// clean folder with an info line, a file it cannot parse with an error and exit 1.
#include "support/RunCommand.h"
#include "support/TestSupport.h"

namespace velor::test {
namespace {

QByteArray padded(const QByteArray &header, const std::vector<QByteArray> &sections)
{
    QByteArray out = header + "\r\n";
    for (const QByteArray &s : sections) {
        out += s;
        for (qsizetype k = s.count('\n'); k < 300; ++k) out += "0,0,0,0,0,0\r\n";
    }
    return out;
}

struct Case {
    const char *name;
    QByteArray file1301;
    int code;
    QString out, err;
};

TEST(CheckCommand, ExitCodeAndLinesFollowWhatWasFound)
{
    ProgramFolder pf;
    pf.writeMaster({{1301, QStringLiteral("極洋"), 1}});
    const QByteArray weekly = "20261204,460,470,455,465,2000\r\n", monthly = "20261204,460,470,455,465,2000\r\n";
    const QString summary = QStringLiteral(": 0\n日付の順序: 0\n日足の抜け: 0\n値幅制限を超える値動き: 0\n"
                                           "週足・月足と日足の不一致: 0\n銘柄一覧と株価ファイルの不一致: 0\n");
    const std::vector<Case> cases = {
        {"clean", padded("2,1,1", {"20261204,462,470,458,465,1000\r\n20261203,460,468,455,461,1000\r\n", weekly, monthly}), 0,
         QStringLiteral("高値・安値の矛盾と負の値") + summary, QStringLiteral("info: 問題は見つかりませんでした。\n")},
        {"a high below the open",
         padded("2,1,1", {"20261204,462,470,458,465,1000\r\n20261203,460,459,455,458,1000\r\n",
                          "20261204,460,470,455,465,2000\r\n", monthly}),
         0,
         QStringLiteral("1301.csv,20261203,日足の高値・安値が始値・終値と矛盾しています（始値 460 高値 459 安値 455 終値 458 出来高 1000）\n"
                        "高値・安値の矛盾と負の値: 1\n日付の順序: 0\n日足の抜け: 0\n値幅制限を超える値動き: 0\n"
                        "週足・月足と日足の不一致: 0\n銘柄一覧と株価ファイルの不一致: 0\n"),
         QStringLiteral("warning: 1 件の問題が見つかりました。\n")},
        {"a line that is no bar", padded("2,1,1", {"20261204,462,470,458,465,1000\r\n2026120,460\r\n", weekly, monthly}), 1,
         QStringLiteral("高値・安値の矛盾と負の値") + summary,
         QStringLiteral("error: ファイル：　") + pf.data + QStringLiteral("1301.csv の 3 行目が正しくありません。\n")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(pf.data + "1301.csv", c.file1301);
        const CommandRun r = runVelorCommand(pf.program, {QStringLiteral("check")});
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(runVelorCommand(pf.program, {QStringLiteral("check"), QStringLiteral("1301")}).code, 2);
}

} // namespace
} // namespace velor::test
