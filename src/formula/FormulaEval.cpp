// Evaluating a compiled formula: each node computes its values over a range of positions at once
// (a series), so that a whole table costs one pass of each function, not one per position.
#include "formula/Formula.h"

#include "chart/Indicators.h"

#include <algorithm>
#include <limits>

namespace velor::formula {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// Values of one node at positions lo .. lo + v.size() - 1; anything outside has no value.
struct Series {
    int lo = 0;
    std::vector<double> v;
    double at(int p) const { return p >= lo && p - lo < int(v.size()) ? v[size_t(p - lo)] : kNone; }
};

inline double finite(double x) { return std::isfinite(x) ? x : kNone; }

} // namespace

class Evaluator {
public:
    Evaluator(const Program &p, const BarVars &bars)
        : m_p(p), m_bars(bars), m_last(std::min<int>(bars.BarCount, kBarTableSize - 2))
    {
    }

    Series eval(int node, int lo, int hi) const
    {
        Series out;
        out.lo = std::max(lo, 0);
        const int top = std::min(hi, m_last);
        if (top < out.lo) return out;
        out.v.assign(size_t(top - out.lo + 1), kNone);
        const Node &n = m_p.m_nodes[size_t(node)];
        const int from = out.lo;
        auto each = [&](auto &&f) {
            for (int p = from; p <= top; ++p) out.v[size_t(p - from)] = f(p);
        };
        switch (n.op) {
        case Op::Number: each([&](int) { return n.number; }); break;
        case Op::Open: each([&](int p) { return double(m_bars.BarOpen[size_t(p)]); }); break;
        case Op::High: each([&](int p) { return double(m_bars.BarHigh[size_t(p)]); }); break;
        case Op::Low: each([&](int p) { return double(m_bars.BarLow[size_t(p)]); }); break;
        case Op::Close: each([&](int p) { return double(m_bars.BarClose[size_t(p)]); }); break;
        case Op::Volume: each([&](int p) { return m_bars.BarVolume[size_t(p)]; }); break;
        case Op::Turnover:
            // As the screens compute a bar's turnover.
            each([&](int p) { return double(m_bars.BarClose[size_t(p)]) * m_bars.BarVolume[size_t(p)]; });
            break;
        case Op::Neg: {
            const Series a = eval(n.a, from, top);
            each([&](int p) { return -a.at(p); });
            break;
        }
        case Op::Not: {
            const Series a = eval(n.a, from, top);
            each([&](int p) { const double x = a.at(p); return std::isnan(x) ? kNone : double(x == 0); });
            break;
        }
        case Op::Add: case Op::Sub: case Op::Mul: case Op::Div: case Op::Gt: case Op::Lt: case Op::Ge:
        case Op::Le: case Op::Eq: case Op::Ne: case Op::And: case Op::Or: {
            const Series a = eval(n.a, from, top), b = eval(n.b, from, top);
            each([&](int p) { return binary(n.op, a.at(p), b.at(p)); });
            break;
        }
        case Op::Ref: {
            const Series a = eval(n.a, from + n.n, top + n.n);
            each([&](int p) { return a.at(p + n.n); });
            break;
        }
        case Op::Roc: {
            const Series a = eval(n.a, from, top + n.n);
            each([&](int p) {
                const double x = a.at(p), old = a.at(p + n.n);
                return old == 0 || std::isnan(old) || std::isnan(x) ? kNone : finite((x / old - 1) * 100);
            });
            break;
        }
        case Op::Cross: {
            const Series a = eval(n.a, from, top + 1), b = eval(n.b, from, top + 1);
            each([&](int p) {
                const double a0 = a.at(p), b0 = b.at(p), a1 = a.at(p + 1), b1 = b.at(p + 1);
                if (std::isnan(a0) || std::isnan(b0) || std::isnan(a1) || std::isnan(b1)) return kNone;
                return double(a0 > b0 && a1 <= b1);
            });
            break;
        }
        case Op::Ma:
            if (m_p.m_nodes[size_t(n.a)].op == Op::Close) {
                // The chart's own average of the closes.
                each([&](int p) { return calcMA(m_bars, n.n, p - 1); });
                break;
            }
            [[fallthrough]];
        case Op::Hhv: case Op::Llv: {
            const Series a = eval(n.a, from, top + n.n - 1);
            each([&](int p) { return window(n.op, a, p, n.n); });
            break;
        }
        case Op::Ema: {
            const Series a = eval(n.a, from, top + 4 * n.n - 1);
            each([&](int p) { return ema(a, p, n.n); });
            break;
        }
        case Op::Rsi: case Op::Rci: case Op::Kairi: case Op::Psy:
            each([&](int p) { return oscillator(n.op, n.n, p); });
            break;
        }
        return out;
    }

private:
    static double binary(Op op, double a, double b)
    {
        switch (op) {
        case Op::And:
            if (a == 0 || b == 0) return 0;
            return std::isnan(a) || std::isnan(b) ? kNone : 1;
        case Op::Or:
            if (isTrue(a) || isTrue(b)) return 1;
            return std::isnan(a) || std::isnan(b) ? kNone : 0;
        default: break;
        }
        if (std::isnan(a) || std::isnan(b)) return kNone;
        switch (op) {
        case Op::Add: return finite(a + b);
        case Op::Sub: return finite(a - b);
        case Op::Mul: return finite(a * b);
        case Op::Div: return b == 0 ? kNone : finite(a / b);
        case Op::Gt: return double(a > b);
        case Op::Lt: return double(a < b);
        case Op::Ge: return double(a >= b);
        case Op::Le: return double(a <= b);
        case Op::Eq: return double(a == b);
        case Op::Ne: return double(a != b);
        default: return kNone;
        }
    }

    // MA, HHV or LLV of the n values at p .. p+n-1, summed newest first as calcMA does.
    static double window(Op op, const Series &a, int p, int n)
    {
        double acc = op == Op::Ma ? 0 : a.at(p);
        for (int q = p; q < p + n; ++q) {
            const double x = a.at(q);
            if (std::isnan(x)) return kNone;
            if (op == Op::Ma) acc += x;
            else if (op == Op::Hhv) acc = std::max(acc, x);
            else acc = std::min(acc, x);
        }
        return op == Op::Ma ? finite(acc / n) : acc;
    }

    static double ema(const Series &a, int p, int n)
    {
        const int oldest = p + 4 * n - 1;
        double seed = 0;
        for (int q = oldest; q > oldest - n; --q) {
            const double x = a.at(q);
            if (std::isnan(x)) return kNone;
            seed += x;
        }
        double e = seed / n;
        const double alpha = 2.0 / (n + 1);
        for (int q = oldest - n; q >= p; --q) {
            const double x = a.at(q);
            if (std::isnan(x)) return kNone;
            e += alpha * (x - e);
        }
        return finite(e);
    }

    // The chart's oscillators at table position p (their s = p - 1); no value where the chart
    // would fall back for lack of bars.
    double oscillator(Op op, int n, int p) const
    {
        const int s = p - 1;
        if (s < -1 || n + s + 1 > m_bars.BarCount || n + s + 1 >= kBarTableSize) return kNone;
        const auto nn = int16_t(n), ss = int16_t(s);
        switch (op) {
        case Op::Rsi: return finite(calcRSI(m_bars, nn, ss));
        case Op::Rci: return finite(calcRCI(m_bars, nn, ss));
        case Op::Kairi: return finite(calcKAIRI(m_bars, nn, ss));
        default: return finite(calcPSYC(m_bars, nn, ss));
        }
    }

public:
    int root() const { return m_p.m_root; }

private:
    const Program &m_p;
    const BarVars &m_bars;
    int m_last;   ///< the oldest position that is a bar
};

std::optional<double> evaluate(const Program &p, const BarVars &bars, int s)
{
    const Evaluator e(p, bars);
    if (e.root() < 0) return std::nullopt;
    const double v = e.eval(e.root(), s, s).at(s);
    if (std::isnan(v)) return std::nullopt;
    return v;
}

std::vector<double> evaluateRange(const Program &p, const BarVars &bars, int from, int to)
{
    std::vector<double> out(size_t(std::max(to - from + 1, 0)), kNone);
    const Evaluator e(p, bars);
    if (e.root() < 0 || out.empty()) return out;
    const Series v = e.eval(e.root(), from, to);
    for (int q = from; q <= to; ++q) out[size_t(q - from)] = v.at(q);
    return out;
}

} // namespace velor::formula
