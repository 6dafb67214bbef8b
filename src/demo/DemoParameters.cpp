#include "demo/DemoParameters.h"

#include "common/TextFile.h"
#include "common/Utils.h"
#include "demo/DemoFolder.h"

#include <QUrl>

namespace velor::demo {

namespace {

constexpr const char *kFileName = "demo.ini";

} // namespace

QByteArray demoParametersText(const MarketOptions &options)
{
    QByteArray text = "; The market this demo folder was made from (velor demo serve makes it again).\r\n[demo]\r\nStocks=" +
                      QByteArray::number(options.stocks) + "\r\nSeed=" + QByteArray::number(quint64(options.seed)) + "\r\n";
    if (options.letterCodes > 0) text += "LetterCodes=" + QByteArray::number(options.letterCodes) + "\r\n";
    if (options.splits) text += "Splits=1\r\n";
    return text;
}

std::expected<void, QString> writeDemoParameters(const QString &programDir, const MarketOptions &options)
{
    return saveBytes(pathIn(programDir, QString::fromLatin1(kFileName)), demoParametersText(options));
}

std::expected<MarketOptions, QString> readDemoParameters(const QString &programDir)
{
    const QString path = pathIn(programDir, QString::fromLatin1(kFileName));
    const auto bytes = readBytes(path, 64 * 1024);
    const QString notDemo = QStringLiteral("ファイル：　") + path + QStringLiteral(" がありません（velor demo で作ったフォルダーではありません）。");
    if (!bytes) return std::unexpected(notDemo);
    MarketOptions o;
    bool haveStocks = false, haveSeed = false, inDemo = false;
    for (QString line : QString::fromUtf8(*bytes).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) { inDemo = line.compare(QStringLiteral("[demo]"), Qt::CaseInsensitive) == 0; continue; }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inDemo || eq <= 0) continue;
        const QString key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
        bool ok = false;
        if (key == QLatin1String("Stocks")) {
            const int n = value.toInt(&ok);
            if (ok && n >= 0 && n <= kMaxDemoStocks) { o.stocks = n; haveStocks = true; }
        } else if (key == QLatin1String("Seed")) {
            const quint64 seed = value.toULongLong(&ok);
            if (ok) { o.seed = seed; haveSeed = true; }
        } else if (key == QLatin1String("Splits")) {
            o.splits = value == QLatin1String("1");
        } else if (key == QLatin1String("LetterCodes")) {
            const int n = value.toInt(&ok);
            if (ok && n >= 0 && n <= kMaxDemoStocks) o.letterCodes = n;
        }
    }
    if (!haveStocks || !haveSeed)
        return std::unexpected(QStringLiteral("ファイル：　") + path + QStringLiteral(" に Stocks と Seed がありません。"));
    return o;
}

QString serverBase(int port) { return QStringLiteral("http://127.0.0.1:%1").arg(port); }

QByteArray movingSitesText(const QString &programDir, int port) { return demoSitesText(programDir, serverBase(port)); }

std::optional<int> demoServerPort(const QString &programDir, const Sites &sites)
{
    if (!readDemoParameters(programDir)) return std::nullopt;
    for (const QString &address : {sites.QuoteUrl, sites.FuturesUrl}) {
        const QUrl url(address);
        if (url.scheme() == QLatin1String("http") && url.host() == QLatin1String("127.0.0.1") && url.port() > 0)
            return url.port();
    }
    return std::nullopt;
}

} // namespace velor::demo
