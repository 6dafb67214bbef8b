#pragma once
// The formula language (条件式) of the user's own screens and of the backtest: compiling a text to
// a small tree, and evaluating it over the bar tables KDOPN loads (the ones the chart and the
// built-in screens read).
//
// Language (names are case-insensitive; full-width letters, digits and signs count as their
// half-width forms, so the positions of errors stay those of the text as typed):
//   fields     O H L C V (the bar's open, high, low, close, volume), TURNOVER (C × V)
//   earlier    C[1] is the previous bar's close; x[n] works after any field, call or parenthesis
//   numbers    12  1.5  1e8
//   arithmetic + - * / and unary minus; a division by zero has no value
//   comparison > < >= <= = <> (also == and !=); 1 when true, 0 when false
//   logic      AND OR NOT (also & | and !)
//   functions  MA(x,n) EMA(x,n) HHV(x,n) LLV(x,n) ROC(x,n) REF(x,n) CROSS(a,b)
//              RSI(n) RCI(n) KAIRI(n) PSY(n)
// RSI, RCI, KAIRI and PSY are the chart's own calcRSI, calcRCI, calcKAIRI and calcPSYC of the close
// (a share 0..1, a rank correlation -1..1, a ratio around 1, a share 0..1); MA(C,n) is the chart's
// calcMA. n is always a whole number written in the text. Windows end at the bar evaluated:
//   MA(x,n), HHV(x,n), LLV(x,n)  average, highest, lowest of x over s .. s+n-1
//   EMA(x,n)   exponential average (weight 2/(n+1)) over the 4n bars s .. s+4n-1, started from the
//              simple average of the oldest n of them, so that its value at a bar never depends on
//              how many bars happen to be loaded
//   ROC(x,n)   (x / x[n] - 1) × 100, the change in percent over n bars
//   REF(x,n)   x of the bar n bars before (REF(C,1) = C[1])
//   CROSS(a,b) 1 when a > b at this bar and a <= b at the bar before
//   RSI(n) KAIRI(n) PSY(n) read the n + 1 closes s .. s+n, RCI(n) the n closes s .. s+n-1, and all
//   four have no value where the chart would fall back for lack of bars (fewer than n + 1)
//
// Values and "no value": every value is a double; a bar that does not exist, an indicator with too
// few bars for its window or a division by zero gives no value (NaN inside, std::nullopt outside).
// Arithmetic, comparisons and NOT of no value have no value; AND is 0 when either side is 0 and
// OR is 1 when either side is true, whatever the other side (three-valued logic, so NOT never makes
// a condition true out of missing bars). A filter holds only where its value exists and is not 0.
//
// No look-ahead: a value at position s reads only the bars at s and older (s .. s + lookback()),
// never a newer bar; the backtest relies on this.
#include "db/MasterVars.h"

#include <QString>
#include <cmath>
#include <cstdint>
#include <expected>
#include <optional>
#include <vector>

namespace velor::formula {

/// Longest text accepted, in characters.
constexpr int kMaxTextLength = 1000;
/// Deepest nesting of parentheses, calls and unary signs.
constexpr int kMaxDepth = 32;
/// Longest period of MA, HHV, LLV, ROC, REF, RSI, RCI, KAIRI and PSY, and of x[n].
constexpr int kMaxPeriod = 1500;
/// Longest period of EMA, which reads 4 × n bars (see evaluate).
constexpr int kMaxEmaPeriod = 400;

/// Why a text does not compile: the 0-based character position in the text and a Japanese message.
struct Error {
    int position = 0;
    QString message;
};

enum class Op : uint8_t {
    Number, Open, High, Low, Close, Volume, Turnover,
    Neg, Not, Add, Sub, Mul, Div, Gt, Lt, Ge, Le, Eq, Ne, And, Or,
    Ref, Ma, Ema, Hhv, Llv, Roc, Cross, Rsi, Rci, Kairi, Psy
};

/// One node of the tree (internal to the evaluator; exposed so that a Program is a plain value).
struct Node {
    Op op = Op::Number;
    int a = -1, b = -1;   ///< operand nodes
    int n = 0;            ///< the period or offset
    double number = 0;
};

/// A compiled formula: cheap to copy, immutable, safe to evaluate from several threads at once.
class Program {
public:
    /// How many bars older than s a value at s may read: s .. s + lookback().
    int lookback() const { return m_lookback; }
    /// The bars to load for a value at position s: s + lookback() + 1 (positions 1.. are bars).
    int barsNeeded(int s) const { return s + m_lookback + 1; }
    /// The text it was compiled from.
    const QString &text() const { return m_text; }

private:
    friend class Parser;
    friend class Evaluator;
    std::vector<Node> m_nodes;
    int m_root = -1;
    int m_lookback = 0;
    QString m_text;
};

/// Compiles a formula; the error names the position and what is wrong, in Japanese.
std::expected<Program, Error> compile(const QString &text);

/// The value at table position s of the loaded bars (position 1 = newest stored bar, up to
/// BarCount; 0 = the live slot, evaluated as a bar only when the caller asks for it). Positions
/// outside 0..BarCount are bars that do not exist. The caller has loaded at least barsNeeded(s)
/// bars (KDOPN leaves positions past the loaded ones as they were). std::nullopt: no value.
std::optional<double> evaluate(const Program &p, const BarVars &bars, int s);

/// The values at every position from..to (inclusive) in one pass, result[i] for position from + i;
/// NaN where there is no value. Much cheaper than calling evaluate for each position: each
/// function runs once over the whole range.
std::vector<double> evaluateRange(const Program &p, const BarVars &bars, int from, int to);

/// A filter's truth: a value that exists and is not 0.
inline bool isTrue(double v) { return !std::isnan(v) && v != 0; }
inline bool isTrue(const std::optional<double> &v) { return v && isTrue(*v); }

} // namespace velor::formula
