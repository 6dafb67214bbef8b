#pragma once
// The numbers of a quote page, picked out by a cursor that moves through the text searching fixed
// keys in a fixed order. Pure text in, values out: no state, no network.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdint>

namespace velor {

/// What one page gives. Prices are the live bar; the rest are the fundamentals.
struct QuotePage {
    float open = 0, high = 0, low = 0, close = 0;
    double volume = 0;
    bool pricesRead = false;   ///< the stock price block was read, so turnover applies (even when 0)
    double turnover = 0;       ///< yen
    float yield = 0, dps = 0, per = 0, pbr = 0, eps = 0, bps = 0;
    double minBuy = 0, yearHigh = 0, yearLow = 0;
    QString marginDate;        ///< at most 5 characters
    int32_t marginBuy = 0, marginSell = 0;
    float marginRatio = 0;
};

/// A read position in a page. Searches never move past the end; a key that is not found leaves
/// the position where it was, so the next key is searched from the same place.
class PageCursor {
public:
    explicit PageCursor(QStringView text) : m_text(text) {}
    /// "skip to n": the text from its n-th character on (1-based).
    void skipTo(qsizetype n);
    /// "find key + d": moves to the first occurrence of key from here, plus d; false when absent.
    bool find(QStringView key, qsizetype d);
    /// getNum over the text from here.
    double read(int n) const;
    /// The next n characters (fewer at the end of the text).
    QString take(qsizetype n) const;
    qsizetype position() const { return m_pos; }
private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

/// Reads a page the way getVec does: `code` below 1301 reads the index close from the futures
/// layout; a stock reads prices when quoteMode is below 11 and fundamentals when it is not 7.
/// Every value whose key is missing, or whose digits lie beyond the end, stays 0.
QuotePage parseQuotePage(QStringView text, int code, int quoteMode);

/// Page bytes as text: UTF-8, unless the page declares a Shift_JIS / Windows-31J charset.
QString decodeQuotePage(const QByteArray &bytes);

/// A page value as a 32-bit integer, rounded half to even; 0 when it does not fit.
int32_t toInt32(double v);

} // namespace velor
