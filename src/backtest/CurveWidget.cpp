#include "backtest/CurveWidget.h"

#include "backtest/BacktestReport.h"
#include "common/NumText.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace velor {

CurveWidget::CurveWidget(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(320, 160);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void CurveWidget::setCurves(std::vector<double> picks, std::vector<double> market, std::vector<int32_t> days)
{
    m_picks = std::move(picks), m_market = std::move(market), m_days = std::move(days);
    update();
}

void CurveWidget::clear() { setCurves({}, {}, {}); }

void CurveWidget::paintEvent(QPaintEvent *)
{
    QPainter g(this);
    g.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm = g.fontMetrics();
    const int left = fm.horizontalAdvance(QStringLiteral("0.0000")) + 8, right = 8, top = fm.height() + 6,
              bottom = fm.height() + 6;
    const QRect plot(left, top, std::max(10, width() - left - right), std::max(10, height() - top - bottom));
    g.setPen(QColor(0xc0, 0xc0, 0xc0));
    g.drawRect(plot);
    if (m_picks.size() < 2 || m_market.size() != m_picks.size()) {
        g.setPen(Qt::darkGray);
        g.drawText(plot, Qt::AlignCenter, QStringLiteral("実行すると、選んだ銘柄と市場全体の曲線を描きます"));
        return;
    }
    double lo = 1, hi = 1;
    for (const auto *c : {&m_picks, &m_market})
        for (double v : *c) lo = std::min(lo, v), hi = std::max(hi, v);
    if (hi - lo < 1e-9) lo -= 0.01, hi += 0.01;
    const double n = double(m_picks.size() - 1);
    auto at = [&](size_t i, double v) {
        return QPointF(plot.left() + plot.width() * double(i) / n, plot.bottom() - plot.height() * (v - lo) / (hi - lo));
    };
    // The level the curves start at.
    g.setPen(QPen(QColor(0xd8, 0xd8, 0xd8), 1, Qt::DashLine));
    g.drawLine(at(0, 1), at(m_picks.size() - 1, 1));
    for (const auto &[curve, color] : {std::pair{&m_market, QColor::fromRgb(kMarketColor)}, std::pair{&m_picks, QColor::fromRgb(kPicksColor)}}) {
        QPainterPath path(at(0, (*curve)[0]));
        for (size_t i = 1; i < curve->size(); ++i) path.lineTo(at(i, (*curve)[i]));
        g.setPen(QPen(color, 2));
        g.drawPath(path);
    }
    g.setPen(Qt::black);
    g.drawText(QRect(0, plot.top() - fm.height() / 2, left - 4, fm.height()), Qt::AlignRight, formatPattern(hi, QStringLiteral("0.0000")));
    g.drawText(QRect(0, plot.bottom() - fm.height() / 2, left - 4, fm.height()), Qt::AlignRight, formatPattern(lo, QStringLiteral("0.0000")));
    if (!m_days.empty()) {
        g.drawText(QRect(plot.left(), plot.bottom() + 3, plot.width(), fm.height()), Qt::AlignLeft, backtestDateText(m_days.front()));
        g.drawText(QRect(plot.left(), plot.bottom() + 3, plot.width(), fm.height()), Qt::AlignRight, backtestDateText(m_days.back()));
    }
    g.setPen(QColor::fromRgb(kPicksColor));
    g.drawText(QRect(plot.left(), 0, plot.width(), fm.height() + 4), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("━ 選んだ銘柄（等金額）"));
    g.setPen(QColor::fromRgb(kMarketColor));
    g.drawText(QRect(plot.left(), 0, plot.width(), fm.height() + 4), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("━ 市場全体"));
}

} // namespace velor
