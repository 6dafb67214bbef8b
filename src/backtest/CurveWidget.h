#pragma once
// The equal-weight curve of a backtest's picks against the market's, drawn with QPainter.
#include <QWidget>
#include <cstdint>
#include <vector>

namespace velor {

class CurveWidget final : public QWidget {
public:
    explicit CurveWidget(QWidget *parent = nullptr);
    /// The two curves (same length, point 0 = 1) and the trading days they end on (one fewer).
    void setCurves(std::vector<double> picks, std::vector<double> market, std::vector<int32_t> days);
    void clear();
    const std::vector<double> &picks() const { return m_picks; }
    const std::vector<double> &market() const { return m_market; }

    static constexpr QRgb kPicksColor = 0xff1f4fd0;
    static constexpr QRgb kMarketColor = 0xff8a8a8a;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    std::vector<double> m_picks, m_market;
    std::vector<int32_t> m_days;
};

} // namespace velor
