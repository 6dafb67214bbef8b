#include "backtest/BacktestReport.h"

#include "common/NumText.h"
#include "common/StockCode.h"

#include <QDate>
#include <cmath>

namespace velor {

namespace {

QString valueCell(double v) { return std::isnan(v) ? QString() : doubleText(v); }

QString statsText(const ReturnStats &s)
{
    return QStringLiteral("件数 ") + QString::number(s.count) + QStringLiteral("  平均 ") + percentText(s.mean) +
           QStringLiteral("  中央値 ") + percentText(s.median) + QStringLiteral("  上昇 ") + percentText(s.rose);
}

} // namespace

QString backtestDateText(int32_t d)
{
    return QStringLiteral("%1-%2-%3").arg(d / 10000).arg(d / 100 % 100, 2, 10, QLatin1Char('0')).arg(d % 100, 2, 10, QLatin1Char('0'));
}

int32_t parseBacktestDate(const QString &text)
{
    const QString t = text.trimmed();
    QDate d = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid()) d = QDate::fromString(t, QStringLiteral("yyyyMMdd"));
    return d.isValid() ? d.year() * 10000 + d.month() * 100 + d.day() : 0;
}

std::optional<std::vector<int>> parseHolds(const QString &text)
{
    std::vector<int> holds;
    for (const QString &part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int h = part.trimmed().toInt(&ok);
        if (!ok) return std::nullopt;
        holds.push_back(h);
    }
    return holds;
}

QString percentText(double fraction)
{
    if (!std::isfinite(fraction)) return QStringLiteral("－");
    return formatPattern(fraction * 100, QStringLiteral("0.00%"));
}

QStringList backtestCsv(const BacktestResult &r)
{
    QString header = QStringLiteral("date,code,score,close");
    for (int h : r.holds) header += QStringLiteral(",r") + QString::number(h);
    QStringList lines{header};
    for (const BacktestPick &p : r.picks) {
        QString line = backtestDateText(p.date) + QLatin1Char(',') + codeText(p.code) + QLatin1Char(',') + valueCell(p.score) +
                       QLatin1Char(',') + singleText(p.close);
        for (double x : p.returns) line += QLatin1Char(',') + valueCell(x);
        lines << line;
    }
    return lines;
}

QStringList backtestSummary(const BacktestResult &r, const QString &title, const BacktestOptions &o)
{
    QStringList out;
    out << QStringLiteral("バックテスト: ") + title;
    out << QStringLiteral("期間: ") + backtestDateText(r.days.front()) + QStringLiteral(" 〜 ") + backtestDateText(r.days.back()) +
               QStringLiteral("（営業日 ") + QString::number(r.days.size()) + QStringLiteral(" 日）  ") +
               (o.bottom ? QStringLiteral("下位 ") : QStringLiteral("上位 ")) + QString::number(o.top) +
               QStringLiteral(" 銘柄を毎日の終値で選ぶ");
    if (o.minTurnover > 0 || o.minPrice > 0 || std::isfinite(o.maxPrice))
        out << QStringLiteral("絞り込み: 株価 ") + doubleText(o.minPrice) + QStringLiteral(" 〜 ") +
                   (std::isfinite(o.maxPrice) ? doubleText(o.maxPrice) : QString()) + QStringLiteral(" 円、売買代金 ") +
                   formatPattern(o.minTurnover, QStringLiteral("#,##0")) + QStringLiteral(" 円以上（ランキングの設定）");
    out << QStringLiteral("選んだ銘柄: 延べ ") + QString::number(r.picks.size()) + QStringLiteral("（選んだ日 ") +
               QString::number(r.daysWithPicks()) + QStringLiteral(" 日、調べた銘柄 ") + QString::number(r.stocks) +
               QStringLiteral("）");
    if (r.stopped) out << QStringLiteral("途中で中止しました（ここまでに調べた銘柄だけの結果です）。");
    for (size_t h = 0; h < r.holds.size(); ++h) {
        out << QStringLiteral("保有 ") + QString::number(r.holds[h]) + QStringLiteral(" 日: 選定 ") + statsText(r.pickStats[h]) +
                   QStringLiteral("  ／ 市場 ") + statsText(r.marketStats[h]);
    }
    out << QStringLiteral("等金額・毎日リバランスの曲線: 選定 最終 ") + formatPattern(r.curve.back(), QStringLiteral("0.0000")) +
               QStringLiteral("  最大ドローダウン ") + percentText(-r.drawdown) + QStringLiteral("  ／ 市場 最終 ") +
               formatPattern(r.marketCurve.back(), QStringLiteral("0.0000")) + QStringLiteral("  最大ドローダウン ") +
               percentText(-r.marketDrawdown);
    return out;
}

} // namespace velor
