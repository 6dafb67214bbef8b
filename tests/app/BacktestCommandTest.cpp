// velor backtest on the small hand-computed market of the backtest tests.
#include "backtest/BacktestMarket.h"
#include "support/RunCommand.h"

#include <gtest/gtest.h>


namespace velor::test {

namespace {

class BacktestCommand : public ::testing::Test {
protected:
    void SetUp() override { writeMarket(pf); }
    CommandRun run(const QStringList &args) { return runVelorCommand(pf.program, QStringList{QStringLiteral("backtest")} + args); }
    ProgramFolder pf;
};

const QString kUsage = QStringLiteral(
    "usage: velor [--home DIR] backtest (NAME | --formula \"FILTER\" [--score \"SCORE\"] [--bottom]) --from DATE --to DATE "
    "[--hold 1,5,20] [--top K] [--csv]\n");

} // namespace

TEST_F(BacktestCommand, CsvAndReportOfTheHandComputedMarket)
{
    const CommandRun csv = run({"--formula", "C > C[1]", "--score", "C", "--from", "2026-01-13", "--to", "20260115", "--hold", "1,2",
                                "--top", "2", "--csv"});
    EXPECT_EQ(csv.code, 0);
    EXPECT_EQ(csv.out, QStringLiteral("date,code,score,close,r1,r2\n"
                                      "2026-01-13,1301,330,330,0.1,-0.09090909090909091\n"
                                      "2026-01-13,1332,240,240,-0.041666666666666664,0.041666666666666664\n"
                                      "2026-01-14,1301,363,363,-0.17355371900826447,\n"
                                      "2026-01-14,130A,90,90,0.1,\n"
                                      "2026-01-15,1332,250,250,,\n"
                                      "2026-01-15,130A,99,99,,\n"));
    EXPECT_EQ(csv.err, QStringLiteral("warning: データファイルのない銘柄 1 件は除きました。\n"));

    const CommandRun report = run({"--formula", "C > C[1]", "--score", "C", "--from", "20260106", "--to", "2026-01-14", "--hold", "1,2",
                                   "--top", "2"});
    EXPECT_EQ(report.code, 0);
    EXPECT_EQ(report.out,
              QStringLiteral("バックテスト: C > C[1]  スコア: C（大きい順）\n"
                             "期間: 2026-01-06 〜 2026-01-14（営業日 6 日）  上位 2 銘柄を毎日の終値で選ぶ\n"
                             "絞り込み: 株価 0 〜 100000 円、売買代金 0 円以上（ランキングの設定）\n"
                             "選んだ銘柄: 延べ 12（選んだ日 6 日、調べた銘柄 4）\n"
                             "保有 1 日: 選定 件数 12  平均 -1.77%  中央値 0.09%  上昇 50.00%  ／ 市場 件数 22  平均 5.28%  中央値 4.77%  上昇 63.64%\n"
                             "保有 2 日: 選定 件数 10  平均 4.55%  中央値 2.08%  上昇 50.00%  ／ 市場 件数 18  平均 10.98%  中央値 4.46%  上昇 55.56%\n"
                             "等金額・毎日リバランスの曲線: 選定 最終 0.8926  最大ドローダウン -13.02%  ／ 市場 最終 1.3108  最大ドローダウン -4.66%\n"));
}

TEST_F(BacktestCommand, ASavedScreenRunsAsItsFormula)
{
    const CommandRun save = runVelorCommand(pf.program, {"screen", "save", "上昇", "--formula", "C > C[1]", "--score", "C", "--bottom"});
    ASSERT_EQ(save.code, 0) << save.err.toStdString();
    const QStringList range{"--from", "20260109", "--to", "20260109", "--hold", "1,2", "--top", "1", "--csv"};
    const CommandRun saved = run(QStringList{"上昇"} + range);
    EXPECT_EQ(saved.code, 0);
    EXPECT_EQ(saved.out, QStringLiteral("date,code,score,close,r1,r2\n2026-01-09,130A,60,60,-0.25,0.5\n"));
    EXPECT_EQ(run(QStringList{"--formula", "C > C[1]", "--score", "C", "--bottom"} + range).out, saved.out);
    const CommandRun missing = run(QStringList{"下落"} + range);
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, QStringLiteral("error: 保存したスクリーニング「下落」はありません。\n"));
}

TEST_F(BacktestCommand, BadInputIsRefusedWithItsReason)
{
    const QStringList range{"--from", "20260106", "--to", "20260114"};
    const QStringList formula{"--formula", "C > C[1]"};
    struct Case {
        QStringList args;
        QString err;
    };
    const std::vector<Case> cases{
        {range, QStringLiteral("error: 保存したスクリーニングの名前か --formula \"条件式\" を指定してください。\n") + kUsage},
        {formula, QStringLiteral("error: --from と --to で期間を指定してください。\n") + kUsage},
        {formula + QStringList{"--from", "2026-13-01", "--to", "20260114"},
         QStringLiteral("error: --from の 2026-13-01 は日付（YYYY-MM-DD または YYYYMMDD）ではありません。\n") + kUsage},
        {formula + range + QStringList{"--hold", "1,x"},
         QStringLiteral("error: --hold の 1,x は日数をカンマで区切ったもの（例 1,5,20）ではありません。\n") + kUsage},
        {formula + range + QStringList{"--hold", "1,0"}, QStringLiteral("error: 保有期間 0 は 1 から 1600 までの日数ではありません。\n")},
        {formula + range + QStringList{"--top", "ten"}, QStringLiteral("error: --top の ten は銘柄の数ではありません。\n") + kUsage},
        {formula + range + QStringList{"--top", "0"}, QStringLiteral("error: 選ぶ銘柄数 0 は 1 から 5000 までの数ではありません。\n")},
        {formula + range + QStringList{"--days", "3"}, QStringLiteral("error: 不明なオプション --days です。\n") + kUsage},
        {formula + range + QStringList{"--top"}, QStringLiteral("error: --top の値がありません。\n") + kUsage},
        {QStringList{"上昇", "--bottom"} + range,
         QStringLiteral("error: --score と --bottom は --formula と一緒に使います（保存したスクリーニングは保存した並べ方で選びます）。\n") + kUsage},
        {QStringList{"上昇"} + formula + range, QStringLiteral("error: 保存したスクリーニングの名前と --formula は一緒に使えません。\n") + kUsage},
        {QStringList{"--formula", "C > 1", "--score", "MA(C,0)"} + range, QStringLiteral("error: スコアの式の 6 文字目: ")},
        {range + QStringList{"--score", "C"}, QStringLiteral("error: 保存したスクリーニングの名前か --formula \"条件式\" を指定してください。\n") + kUsage},
        {QStringList{"--formula", "C >> 1"} + range, QStringLiteral("error: 条件式の 4 文字目: ここには値・項目・関数を書きます（「>」は置けません）\n")},
        {formula + QStringList{"--from", "20260114", "--to", "20260106"},
         QStringLiteral("error: 開始日 2026-01-14 が終了日 2026-01-06 より後です。\n")},
        {formula + QStringList{"--from", "2026-01-10", "--to", "2026-01-12"},
         QStringLiteral("error: 期間 2026-01-10 〜 2026-01-12 に営業日（1001 の日足のある日）がありません。\n")},
    };
    for (const Case &c : cases) {
        const CommandRun r = run(c.args);
        EXPECT_EQ(r.code, 1) << c.args.join(' ').toStdString();
        if (c.err.endsWith('\n')) EXPECT_EQ(r.err, c.err) << c.args.join(' ').toStdString();
        else EXPECT_TRUE(r.err.startsWith(c.err)) << r.err.toStdString();
        EXPECT_EQ(r.out, QString());
    }
}

} // namespace velor::test
