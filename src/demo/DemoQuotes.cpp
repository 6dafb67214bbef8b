#include "demo/DemoQuotes.h"

#include "common/StockCode.h"

#include "common/NumText.h"
#include "demo/IntradayPath.h"
#include "common/TextFile.h"
#include "common/Utils.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cmath>

namespace velor::demo {

namespace {

// Page furniture between the values: plain ASCII (one byte a character, since the readers skip
// by characters and every stock has a page) with no digits and no key, so no read ever picks up a
// stray number.
QString filler(qsizetype length)
{
    static const QString block = QString::fromLatin1(
        QByteArray("<li class=\"menu\"><a href=\"/news\">News</a><a href=\"/board\">Board</a><a href=\"/chart\">Chart</a></li>\n")
            .repeated(400));
    QString out;
    out.reserve(std::max<qsizetype>(length, 0));
    while (out.size() < length) out += QStringView(block).left(length - out.size());
    return out;
}

// Portal style: thousands separators, up to `decimals` digits after the point.
QString grouped(double v, int decimals)
{
    QString digits = QString::number(std::fabs(v), 'f', decimals);
    if (decimals > 0) {
        while (digits.endsWith('0')) digits.chop(1);
        if (digits.endsWith('.')) digits.chop(1);
    }
    const qsizetype point = digits.contains('.') ? digits.indexOf('.') : digits.size();
    for (qsizetype i = point - 3; i > 0; i -= 3) digits.insert(i, ',');
    return (v < 0 ? QStringLiteral("-") : QString()) + digits;
}

// One "key":"value" pair followed by a label, which keeps the next number out of any read.
QString pair(const char *key, const QString &value, const char16_t *label)
{
    return QStringLiteral("\"%1\":\"%2\",\"label\":\"%3\",\n").arg(QLatin1String(key), value, QString::fromUtf16(label));
}

// A small deterministic hash of a code: the fundamentals of one stock never depend on another.
uint64_t mix(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}
double unit(uint64_t h, int salt) { return double(mix(h ^ (uint64_t(salt) * 0x632be59bd9b4e019ULL)) >> 11) / double(1ULL << 53); }

// The bar shown live: the first day after the stored ones, else the stock's last bar.
Bar liveBar(const MarketGenerator &gen, const StockSeries &s) { return quotedDayBar(gen, s); }

QString pageHead(const QString &title)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\"><title>") + title +
           QStringLiteral("</title></head><body>\n");
}

// What the site shows in place of a value before the first trade of the day.
const QString kNoTrade = QStringLiteral("---");

QString priceSection(const Bar &b, bool traded)
{
    if (!traded)
        return pair("openPrice", kNoTrade, u"始値") + pair("highPrice", kNoTrade, u"高値") + pair("lowPrice", kNoTrade, u"安値") +
               pair("volume", kNoTrade, u"出来高") + pair("tradingValue", kNoTrade, u"売買代金");
    QString t = pair("openPrice", grouped(b.open, 1), u"始値") + pair("highPrice", grouped(b.high, 1), u"高値") +
                pair("lowPrice", grouped(b.low, 1), u"安値") + pair("volume", grouped(b.volume, 0) + QStringLiteral("株"), u"出来高") +
                pair("tradingValue", grouped(std::round(double(b.close) * b.volume / 1000), 0) + QStringLiteral("千円"), u"売買代金");
    return t;
}

QString fundamentalSection(const StockSeries &s, const Bar &b, const MarketGenerator &gen)
{
    const uint64_t h = mix(uint64_t(s.entry.code) * 7919 + gen.options().seed);
    const double close = b.close > 0 ? b.close : 1;
    const double yield = std::round(unit(h, 1) * 450) / 100;             // 0.00 .. 4.50 %
    const double per = std::round((5 + unit(h, 2) * 45) * 100) / 100;
    const bool loss = unit(h, 3) < 0.1;
    const double pbr = std::round((0.3 + unit(h, 4) * 4) * 100) / 100;
    double yearHigh = 0, yearLow = 0;
    for (int d = std::max(s.firstDay, gen.storedDays() - 245); d < std::min(s.endDay, gen.storedDays()); ++d) {
        const Bar &x = s.daily[size_t(d)];
        yearHigh = std::max(yearHigh, double(x.high));
        yearLow = yearLow == 0 ? double(x.low) : std::min(yearLow, double(x.low));
    }
    const int marginBuy = int(unit(h, 5) * 3000) * 100;
    const int marginSell = unit(h, 6) < 0.15 ? 0 : int(unit(h, 7) * 1500) * 100;
    const QDate last = gen.calendar()[size_t(std::max(gen.storedDays() - 1, 0))];
    return pair("shareDividendYield", grouped(yield, 2), u"配当利回り（会社予想）") +
           pair("dps", grouped(std::round(close * yield) / 100, 2), u"１株配当（会社予想）") +
           pair("per", loss ? QStringLiteral("---") : grouped(per, 2) + QStringLiteral("倍"), u"ＰＥＲ（会社予想）") +
           pair("pbr", grouped(pbr, 2) + QStringLiteral("倍"), u"ＰＢＲ（実績）") +
           pair("eps", grouped(loss ? -close * 0.05 : close / per, 2), u"ＥＰＳ（会社予想）") +
           pair("bps", grouped(close / pbr, 2), u"ＢＰＳ（実績）") +
           pair("minPurchasePrice", grouped(close * 100, 0) + QStringLiteral("円"), u"最低購入代金") +
           pair("yearHighPrice", grouped(yearHigh, 1), u"年初来高値") + pair("yearLowPrice", grouped(yearLow, 1), u"年初来安値") +
           pair("marginTransactionInfoDate", last.toString(QStringLiteral("MM/dd")), u"信用残の日付") +
           pair("marginTransactionBuy", grouped(marginBuy, 0) + QStringLiteral("株"), u"信用買残") +
           pair("marginTransactionSell", grouped(marginSell, 0) + QStringLiteral("株"), u"信用売残");
}

} // namespace

QByteArray stockQuotePage(const MarketGenerator &gen, const StockSeries &s)
{
    return stockQuotePage(gen, s, liveBar(gen, s), true);
}

QByteArray stockQuotePage(const MarketGenerator &gen, const StockSeries &s, const Bar &b, bool traded)
{
    // The reader skips to character 16000 for the price and 32000 further for the rest; the page
    // is no longer than that needs, plus a small margin, since every stock has one.
    constexpr qsizetype margin = 16;
    QString page = pageHead(s.entry.name.trimmed() + QStringLiteral("の株価"));
    page += filler(16000 + margin - page.size());
    page += QStringLiteral("<script>window.quote = {");
    const qsizetype priceKey = page.size() + 1;
    page += pair("stock_price", traded ? grouped(b.close, 1) + QStringLiteral("円") : kNoTrade, u"現在値");
    page += filler(priceKey + 32000 + margin - page.size());
    page += priceSection(b, traded) + fundamentalSection(s, b, gen) + QStringLiteral("};</script>\n</body></html>\n");
    return page.toUtf8();
}

QByteArray futuresQuotePage(const MarketGenerator &gen, const StockSeries &index)
{
    return futuresQuotePage(futuresPrice(liveBar(gen, index).close));
}

double futuresPrice(double indexValue) { return std::round(indexValue / 10) * 10; }

QByteArray futuresQuotePage(double close)
{
    QString page = pageHead(QStringLiteral("日経平均先物"));
    page += filler(24100 - page.size());
    page += QStringLiteral("<div class=\"blogParts\"><h2>先物</h2></div>\n<div class=\"blogParts");
    // The price stands 380 characters after the start of that second class name.
    page += filler(371) + grouped(close, 0) + QStringLiteral("</span></div>\n");
    page += filler(2000) + QStringLiteral("</body></html>\n");
    return page.toUtf8();
}

double targetPrice(const MarketGenerator &gen, const StockSeries &s)
{
    const int last = std::min(gen.storedDays(), s.endDay) - 1;
    if (!s.ordinary() || last < s.firstDay || s.endDay < gen.storedDays()) return 0;   // delisted: no analysts left
    const uint64_t h = mix(uint64_t(s.entry.code) * 104729 + gen.options().seed);
    if (unit(h, 11) < 0.25) return 0;   // a quarter of the market has no target
    const double close = s.daily[size_t(last)].close;
    // Between 25% below and 45% above the last close, in the price steps of its level.
    const double raw = close * (0.75 + 0.7 * unit(h, 12));
    const double step = close < 1000 ? 1 : close < 10000 ? 10 : 100;
    return std::max(step, std::round(raw / step) * step);
}

QByteArray targetPricePage(const MarketGenerator &gen, const StockSeries &s)
{
    const double target = targetPrice(gen, s);
    QString page = pageHead(s.entry.name.trimmed() + QStringLiteral("の目標株価"));
    if (target == 0) {
        // A stock nobody covers: a short page without the box, as the site shows it.
        page += QStringLiteral("<div class=\"md_box\"><p>この銘柄の目標株価はまだありません。</p></div>\n</body></html>\n");
        return page.toUtf8();
    }
    // The reader looks at the page from character 25000 on, and for the price within the 25
    // characters that begin 15 characters into the box's class name.
    page += filler(25000 + 16 - page.size());
    page += QStringLiteral("<div class=\"md_target_box\"><div class=\"md_target_box_label\">目標株価</div>"
                           "<div class=\"md_target_box_price\">") +
            grouped(target, 0) + QStringLiteral("<span>円</span></div></div>\n</body></html>\n");
    return page.toUtf8();
}

namespace {

// The site folder is written fresh for the demo: nothing is replaced, so a plain checked write is
// enough (and much cheaper than a save-and-rename for thousands of pages).
std::expected<void, QString> writePage(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush())
        return std::unexpected(QStringLiteral("ファイル：　") + path + QStringLiteral(" に書き込めません。"));
    return {};
}

} // namespace

std::expected<void, QString> makePageFolders(const QString &siteDir)
{
    for (const char *sub : {"/quote", "/cme", "/stock"})
        if (!QDir().mkpath(siteDir + QString::fromLatin1(sub)))
            return std::unexpected(QStringLiteral("フォルダー：　") + siteDir + QString::fromLatin1(sub) +
                                   QStringLiteral(" を作成できません。"));
    return {};
}

std::expected<void, QString> writeStockPages(const MarketGenerator &gen, const StockSeries &s, const QString &siteDir)
{
    const int code = s.entry.code;
    if (code == 1001) return writePage(siteDir + QStringLiteral("/cme/index.html"), futuresQuotePage(gen, s));
    if (!s.ordinary()) return {};
    const QString name = codeText(code);
    if (auto r = writePage(siteDir + QStringLiteral("/quote/") + name + QStringLiteral(".T"), stockQuotePage(gen, s)); !r) return r;
    return writePage(siteDir + QStringLiteral("/stock/") + name, targetPricePage(gen, s));
}

std::expected<void, QString> writeDemoQuotes(const MarketGenerator &gen, const QString &siteDir)
{
    if (auto r = makePageFolders(siteDir); !r) return r;
    const auto &listing = gen.listing();
    // A stock that lists on one of the next days joins the master with the download, so it needs
    // its pages too: before its first trade they show no prices.
    for (size_t i = 0; i < listing.size(); ++i)
        if (auto r = writeStockPages(gen, gen.series(i), siteDir); !r) return r;
    return {};
}

} // namespace velor::demo
