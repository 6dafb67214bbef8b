#include "realtime/QuotePage.h"

#include "common/Cp932.h"
#include "common/Utils.h"

#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <limits>

namespace velor {

void PageCursor::skipTo(qsizetype n)
{
    m_pos = std::min(m_text.size(), m_pos + std::max<qsizetype>(n - 1, 0));
}

bool PageCursor::find(QStringView key, qsizetype d)
{
    const qsizetype at = m_text.indexOf(key, m_pos);
    if (at < 0) return false;
    m_pos = std::min(m_text.size(), at + d);
    return true;
}

double PageCursor::read(int n) const { return getNum(m_text.mid(m_pos), n); }

QString PageCursor::take(qsizetype n) const { return m_text.mid(m_pos, std::min(n, m_text.size() - m_pos)).toString(); }

int32_t toInt32(double v)
{
    const double r = std::nearbyint(v);   // the default rounding mode: half to even
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return 0;
    return int32_t(r);
}

namespace {

// A key followed by its number; the number is 0 when the key is missing, and so is a number
// too large for any count or amount (beyond the integers a double holds exactly).
double readAfter(PageCursor &c, QStringView key, qsizetype d, int width)
{
    const double v = c.find(key, d) ? c.read(width) : 0.0;
    return std::abs(v) <= 9007199254740992.0 ? v : 0.0;
}

// A price or ratio in single precision; one that does not fit reads as 0, like a missing one,
// instead of becoming infinite.
float readSingle(PageCursor &c, QStringView key, qsizetype d, int width)
{
    const double v = c.find(key, d) ? c.read(width) : 0.0;
    return std::abs(v) <= double(std::numeric_limits<float>::max()) ? float(v) : 0.0f;
}

void readIndex(PageCursor &c, QuotePage &q)
{
    c.skipTo(24000);
    c.find(u"blogParts", 10);
    q.close = readSingle(c, u"blogParts", 380, 40);
    q.high = q.close;
    q.open = q.low = q.close - 5;
}

void readPrices(PageCursor &c, QuotePage &q)
{
    c.skipTo(16000);
    q.close = readSingle(c, u"stock_price", 1, 30);
    c.skipTo(32000);
    q.open = readSingle(c, u"openPrice", 0, 20);
    q.high = readSingle(c, u"highPrice", 0, 20);
    q.low = readSingle(c, u"lowPrice", 0, 20);
    q.volume = readAfter(c, u"volume", 0, 30);
    q.turnover = readAfter(c, u"tradingValue", 1, 30) * 1000;   // the page gives thousands of yen
    q.pricesRead = true;
}

void readFundamentals(PageCursor &c, QuotePage &q)
{
    q.yield = readSingle(c, u"shareDividendYield", 0, 30);
    q.dps = readSingle(c, u"dps", 1, 10);
    q.per = readSingle(c, u"per", 5, 30);
    c.skipTo(5);
    q.pbr = readSingle(c, u"pbr", 1, 30);
    c.skipTo(5);
    q.eps = readSingle(c, u"eps", 1, 30);
    c.skipTo(5);
    q.bps = readSingle(c, u"bps", 1, 30);
    c.skipTo(5);
    q.minBuy = readAfter(c, u"minPurchasePrice", 1, 30);
    q.yearHigh = readAfter(c, u"yearHighPrice", 1, 25);
    q.yearLow = readAfter(c, u"yearLowPrice", 1, 25);
    if (c.find(u"marginTransactionInfoDate", 28)) q.marginDate = c.take(5);
    q.marginBuy = toInt32(readAfter(c, u"marginTransactionBuy", 1, 35));
    q.marginSell = toInt32(readAfter(c, u"marginTransactionSell", 1, 35));
    if (q.marginSell != 0) q.marginRatio = float(double(q.marginBuy) / double(q.marginSell));
}

} // namespace

QuotePage parseQuotePage(QStringView text, int code, int quoteMode)
{
    QuotePage q;
    PageCursor c(text);
    if (code < 1301) {
        readIndex(c, q);
        return q;
    }
    if (quoteMode < 11) readPrices(c, q);
    else c.skipTo(32000);
    if (quoteMode != 7) readFundamentals(c, q);
    return q;
}

QString decodeQuotePage(const QByteArray &bytes)
{
    // Only the head of a page declares its charset; look no further than that.
    const QByteArray head = bytes.left(4096).toLower();
    if (head.contains("charset=shift_jis") || head.contains("charset=\"shift_jis") ||
        head.contains("charset=windows-31j") || head.contains("charset=\"windows-31j") ||
        head.contains("charset=sjis"))
        return fromCp932(bytes);
    return QString::fromUtf8(bytes);
}

} // namespace velor
