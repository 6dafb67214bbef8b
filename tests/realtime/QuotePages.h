#pragma once
// Hand-made quote pages with the keys where the reader expects them.
#include <QString>

namespace velor::test {

/// Filler without digits, ".", "-" or any key.
inline QString pad(int n) { return QString(n, QLatin1Char('x')); }

/// Keeps the next number out of the characters a read scans.
inline QString sep() { return QStringLiteral(R"(,"note":"abcdefghijklmnopqrstuvwxyzabcdefghijklmn",)"); }

/// The price block of a stock page: stock_price just after character 16000, the rest 32000 later.
inline QString priceBlock()
{
    return pad(16000) + QStringLiteral(R"("stock_price":"1,234.5円")") + sep() + pad(32000) +
           QStringLiteral(R"("openPrice":"1,230")") + sep() + QStringLiteral(R"("highPrice":"1,250.5")") + sep() +
           QStringLiteral(R"("lowPrice":"1,220")") + sep() + QStringLiteral(R"("volume":"2,345,600株")") + sep() +
           QStringLiteral(R"("tradingValue":"2,893,456千円")") + sep();
}

/// The fundamentals block, in the order the reader searches it.
inline QString fundamentalsBlock(const QString &marginSell = QStringLiteral("456,700"))
{
    return QStringLiteral(R"("shareDividendYield":"2.35%")") + sep() + QStringLiteral(R"("dps":"30.00")") + sep() +
           QStringLiteral(R"("per":"15.20倍")") + sep() + QStringLiteral(R"("pbr":"1.05倍")") + sep() +
           QStringLiteral(R"("eps":"-12.50")") + sep() + QStringLiteral(R"("bps":"1,176.4")") + sep() +
           QStringLiteral(R"("minPurchasePrice":"123,450円")") + sep() + QStringLiteral(R"("yearHighPrice":"1,450")") + sep() +
           QStringLiteral(R"("yearLowPrice":"980")") + sep() + QStringLiteral(R"("marginTransactionInfoDate":"11/27")") + sep() +
           QStringLiteral(R"("marginTransactionBuy":"1,234,500株")") + sep() +
           QStringLiteral(R"("marginTransactionSell":")") + marginSell + QStringLiteral(R"(株")") + sep();
}

inline QString stockPage() { return priceBlock() + fundamentalsBlock(); }

/// The futures page: the close 380 characters after the second "blogParts" past character 24000.
inline QString futuresPage(const QString &close = QStringLiteral("38,450.5"))
{
    return pad(24000) + QStringLiteral("blogParts") + pad(100) + QStringLiteral("blogParts") + pad(371) + close + sep();
}

} // namespace velor::test
