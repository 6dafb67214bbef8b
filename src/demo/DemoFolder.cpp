#include "demo/DemoFolder.h"

#include "common/StockCode.h"
#include "db/Sites.h"
#include "demo/DemoSite.h"

#include "common/Cp932.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "demo/DemoParameters.h"
#include "demo/DemoQuotes.h"

#include <QDir>
#include <QUrl>

namespace velor::demo {

QByteArray demoSettings(const QString &dataDir)
{
    QStringList lines = {
        dataDir,
        QStringLiteral("13,26,100"),
        QStringLiteral("0,0,20,0"),
        QStringLiteral("5,100000000,0"),
        QStringLiteral("100,50000,300000000"),
        QStringLiteral("0,0,100,50000,50000000,3"),
        QStringLiteral("1,\"RSI\",9,14"),
        QStringLiteral("1,\"サイコロ\",12,24"),
        QStringLiteral("1,\"RCI\",9,26"),
    };
    for (int i = 0; i < 15; ++i) lines << QStringLiteral("https://info.invalid/%1").arg(i + 1);
    const char16_t *brokers[] = {u"証券会社１", u"証券会社２", u"証券会社３", u"証券会社４"};
    for (auto *b : brokers) lines << QString::fromUtf16(b);
    const char16_t *favorites[] = {u"お気に入りページ１", u"お気に入りページ２", u"お気に入りページ３", u"お気に入りページ４", u"お気に入りページ５"};
    for (auto *f : favorites) lines << QString::fromUtf16(f);
    QByteArray out;
    for (const auto &l : lines) out += toCp932(l) + "\r\n";
    return out;
}

QByteArray worldIndexPage()
{
    // A small, fixed table in the shape of a world-index page, so the pane shows something offline.
    const struct { const char16_t *name; const char *value; const char *change; } rows[] = {
        {u"NYダウ", "44,722.06", "+188.59"},   {u"ナスダック", "19,218.17", "-84.23"}, {u"S&P500", "6,032.38", "+14.77"},
        {u"上海総合", "3,326.46", "-2.91"},   {u"香港ハンセン", "19,423.61", "+121.10"}, {u"DAX", "19,626.45", "-50.17"},
        {u"FTSE100", "8,287.30", "+6.70"}};
    QString html = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>世界の株価指数</title></head><body>"
                                  "<table cellspacing=\"0\" cellpadding=\"1\"><tr><th>指数</th><th>現在値</th><th>前日比</th></tr>");
    for (const auto &r : rows)
        html += QStringLiteral("<tr><td style=\"white-space:nowrap\">%1</td><td style=\"white-space:nowrap\" align=\"right\">%2</td><td style=\"white-space:nowrap\" align=\"right\"><font color=\"%3\">%4</font></td></tr>")
                    .arg(QString::fromUtf16(r.name), QString::fromLatin1(r.value),
                         r.change[0] == '-' ? QStringLiteral("green") : QStringLiteral("red"), QString::fromLatin1(r.change));
    html += QStringLiteral("</table><p>（デモ用の固定値）</p></body></html>");
    return html.toUtf8();
}

QString stoppedText() { return QStringLiteral("デモ用のフォルダーの作成を中止しました。"); }

std::expected<void, QString> writeDatabase(const MarketGenerator &gen, const QString &dataDir,
                                           const std::function<void(int, int)> &progress, const SeriesWriter &alsoEach,
                                           const StopCheck &stop)
{
    if (!QDir().mkpath(dataDir + QStringLiteral("tmp")))
        return std::unexpected(QStringLiteral("フォルダー：　") + dataDir + QStringLiteral(" を作成できません。"));
    std::vector<MasterEntry> entries;
    const int total = int(gen.listing().size());
    for (int i = 0; i < total; ++i) {
        if (stop && stop()) return std::unexpected(stoppedText());
        const StockSeries s = gen.series(size_t(i));
        if (s.firstDay >= gen.storedDays()) continue;   // listed only on one of the next days
        entries.push_back(s.entry);
        const PriceSections sec = gen.sections(s, gen.storedDays());
        if (auto r = writePriceFile(dataDir + codeText(s.entry.code) + QStringLiteral(".csv"), sec); !r) return r;
        if (alsoEach)
            if (auto r = alsoEach(s); !r) return r;
        if (progress) progress(i + 1, total);
    }
    return writeMaster(dataDir + QStringLiteral("meigara.dat"), MasterHeader{}, entries);
}

QByteArray demoSitesText(const QString &programDir, const QString &pageServer)
{
    const QString site = QUrl::fromLocalFile(withTrailingSeparator(QDir(programDir).absolutePath()) + QStringLiteral("site")).toString();
    QByteArray sites = sitesFileHeader() + QStringLiteral("; デモのページはプログラムフォルダーの site/ にあります（--moving のデモは株価と先物のページをデモのページサーバーから読みます）。\r\n").toUtf8() +
                       "[sites]\r\n";
    sites += "DataSiteUrl=" + site.toUtf8() + "/\r\n";
    sites += "NameListUrl=" + site.toUtf8() + "/names.csv\r\n";
    for (const char *key : {"QuoteUrl", "FuturesUrl", "TargetPriceUrl", "StockDetailUrl", "BrokerQuoteUrl",
                            "AnalysisUrl", "CompanyUrl", "WorldIndexUrl"}) {
        const bool live = !pageServer.isEmpty() && (qstrcmp(key, "QuoteUrl") == 0 || qstrcmp(key, "FuturesUrl") == 0);
        sites += QByteArray(key) + '=' + (live ? pageServer : site).toUtf8() + "\r\n";
    }
    sites += "HomePageUrl=" + site.toUtf8() + "/index.html\r\nFetchTimeoutSeconds=10\r\nMaxConnections=4\r\n";
    return sites;
}

std::expected<void, QString> writeDemoFolder(const QString &dir, const MarketOptions &options,
                                             const std::function<void(int, int)> &progress, const StopCheck &stop)
{
    const QString program = withTrailingSeparator(QDir(dir).absolutePath());
    for (const char *sub : {"VEDAT", "FUNASHI", "data/tmp", "site"})
        if (!QDir().mkpath(program + QString::fromLatin1(sub)))
            return std::unexpected(QStringLiteral("フォルダー：　") + program + QStringLiteral(" を作成できません。"));
    if (auto r = saveBytes(program + QStringLiteral("VELOR.ini"), demoSettings(QStringLiteral("data"))); !r) return r;

    QByteArray sites = demoSitesText(program);
    // The site's list of splits: the download records what it names.
    if (options.splits) sites += "SplitListUrl=" + QUrl::fromLocalFile(program + QStringLiteral("site/split.csv")).toEncoded() + "\r\n";
    if (auto r = saveBytes(program + QStringLiteral("sites.ini"), sites); !r) return r;
    if (auto r = writeDemoParameters(program, options); !r) return r;

    if (auto r = saveBytes(program + QStringLiteral("site/bp1.php?fw=160&cs=1"), worldIndexPage()); !r) return r;

    MarketGenerator gen(options);
    // Watch lists: a few large and well-known-looking codes from the listing.
    const auto &listing = gen.listing();
    auto listOf = [&](size_t from, size_t step, int count) {
        QByteArray text;
        for (size_t i = from; i < listing.size() && count > 0; i += step, --count)
            text += ' ' + codeBytes(listing[i].code) + " \r\n";
        return text;
    };
    const size_t n = listing.size();
    // The first stock of a code with letters joins list 1, so its minute bars and alerts can be tried.
    QByteArray letter;
    for (const auto &e : listing)
        if (hasLetter(e.code)) {
            letter = ' ' + codeBytes(e.code) + " \r\n";
            break;
        }
    if (auto r = saveBytes(program + QStringLiteral("touroku.dat"), " 1001 \r\n 1002 \r\n" + listOf(2, std::max<size_t>(n / 25, 1), 25) + letter); !r) return r;
    if (auto r = saveBytes(program + QStringLiteral("touroku2.dat"), listOf(7, std::max<size_t>(n / 12, 1), 12)); !r) return r;
    if (auto r = saveBytes(program + QStringLiteral("touroku3.dat"), listOf(11, std::max<size_t>(n / 8, 1), 8)); !r) return r;
    // The pages of each stock are written while its series is at hand, so it is generated once.
    const QString siteDir = program + QStringLiteral("site");
    if (auto r = makePageFolders(siteDir); !r) return r;
    if (options.splits) {
        if (auto r = saveBytes(program + QStringLiteral("data/split.dat"), gen.splitLines(true)); !r) return r;
        if (auto r = saveBytes(program + QStringLiteral("site/split.csv"), gen.splitLines(false)); !r) return r;
    }
    if (auto r = writeDatabase(gen, program + QStringLiteral("data/"), progress,
                               [&](const StockSeries &s) { return writeStockPages(gen, s, siteDir); }, stop);
        !r)
        return r;
    // The stocks that list on one of the next days come in with the download and are quoted then.
    for (size_t i = 0; i < listing.size(); ++i) {
        if (stop && stop()) return std::unexpected(stoppedText());
        if (const StockSeries s = gen.series(i); s.firstDay >= gen.storedDays())
            if (auto r = writeStockPages(gen, s, siteDir); !r) return r;
    }
    if (stop && stop()) return std::unexpected(stoppedText());
    return writeDemoSite(gen, program + QStringLiteral("site/"));
}

} // namespace velor::demo
