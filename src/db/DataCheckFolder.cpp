// The walk over a data folder: 1001's trading days first, then every price file once on a few
// threads (each file's findings kept in its place, so the output does not depend on them), then
// the master against the files.
#include "db/DataCheck.h"

#include "common/StockCode.h"
#include "common/TextFile.h"
#include "db/StockMaster.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_set>
#if defined(Q_OS_UNIX)
#include <dirent.h>
#endif

namespace velor {

namespace {

// The price files of a folder ("CODE.csv", CODE a code as the exchange writes it) by code, in
// no order. Reading the folder directly takes a quarter of the time of a listing that looks at
// every file (4,000 price files); names are only made for what looks like a price file.
std::vector<std::pair<int, QString>> priceFiles(const QString &folder)
{
    std::vector<std::pair<int, QString>> files;
#if defined(Q_OS_UNIX)
    if (DIR *d = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent *e = ::readdir(d)) {
            const std::string_view name(e->d_name);
            if (e->d_type == DT_DIR || name.size() < 5 || !name.ends_with(".csv")) continue;
            // A code as the exchange writes it: no leading zero before digits alone ("0130" is
            // not how 130 is written); letters and digits read back as they are written.
            const std::string_view base = name.substr(0, name.size() - 4);
            if (base.front() == '0' && std::all_of(base.begin(), base.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
            if (const auto code = codeFromText(base)) files.emplace_back(*code, QString::fromLatin1(name.data(), qsizetype(name.size())));
        }
        ::closedir(d);
    }
#else
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System); it.hasNext();) {
        const QString name = it.nextFileInfo().fileName();
        if (!name.endsWith(QLatin1String(".csv"))) continue;
        const QStringView base = QStringView(name).chopped(4);
        if (const auto code = codeFromText(base); code && codeText(*code) == base) files.emplace_back(*code, name);
    }
#endif
    return files;
}

} // namespace

DataCheckReport checkDataFolder(const QString &folder, int threads)
{
    DataCheckReport report;
    QString dataDir = folder;
    if (!dataDir.endsWith(QLatin1Char('/'))) dataDir += QLatin1Char('/');
    const QDir dir(dataDir);
    if (!dir.exists()) {
        report.errors << QStringLiteral("データフォルダ ") + dataDir + QStringLiteral(" がありません。");
        return report;
    }
    // Price files: "CODE.csv" where CODE is a code as the exchange writes it.
    std::vector<std::pair<int, QString>> files = priceFiles(dataDir);
    {   // in the exchange's code order, each code's key worked out once
        std::vector<std::pair<int, size_t>> order;
        order.reserve(files.size());
        for (size_t i = 0; i < files.size(); ++i) order.emplace_back(codeOrderKey(files[i].first), i);
        std::sort(order.begin(), order.end());
        std::vector<std::pair<int, QString>> sorted;
        sorted.reserve(files.size());
        for (const auto &o : order) sorted.push_back(std::move(files[o.second]));
        files = std::move(sorted);
    }

    CorporateActions actions;
    bool limits = true;
    if (auto r = actions.load(actionsPath(dataDir)); !r) report.errors << r.error(), limits = false;

    // The trading days: the index series 1001's daily dates.
    std::vector<int32_t> tradingDays;
    std::optional<std::expected<QByteArray, QString>> indexBytes;
    const auto index = std::find_if(files.begin(), files.end(), [](const auto &f) { return f.first == 1001; });
    if (index != files.end()) {
        indexBytes = readBytes(dataDir + index->second);
        if (*indexBytes)
            if (auto d = dailyDates(**indexBytes, dataDir + index->second)) tradingDays = std::move(*d);
    }

    // The first job reads the master, the others one price file each.
    const QString masterPath = dataDir + QStringLiteral("meigara.dat");
    std::expected<MasterImage, QString> master = std::unexpected(QString());
    std::vector<std::expected<std::vector<CheckFinding>, QString>> results(files.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t job; (job = next.fetch_add(1)) <= files.size();) {
            if (job == 0) {
                const auto bytes = readBytes(masterPath);
                master = bytes ? parseMaster(*bytes, masterPath) : std::unexpected(bytes.error());
                continue;
            }
            const size_t i = job - 1;
            const auto &[code, name] = files[i];
            const QString path = dataDir + name;
            const auto bytes = (index != files.end() && i == size_t(index - files.begin())) ? std::move(*indexBytes) : readBytes(path);
            if (!bytes) {
                results[i] = std::unexpected(bytes.error());
                continue;
            }
            results[i] = checkPriceBytes(*bytes, code, path, PriceCheckContext{tradingDays, actions.of(code), limits});
        }
    };
    const int n = std::clamp(threads > 0 ? threads : int(std::thread::hardware_concurrency()), 1, 8);
    std::vector<std::thread> pool;
    for (int t = 1; t < n; ++t) pool.emplace_back(work);
    work();
    for (auto &t : pool) t.join();
    for (auto &r : results) {
        if (!r) report.errors << r.error();
        else report.findings.insert(report.findings.end(), std::make_move_iterator(r->begin()), std::make_move_iterator(r->end()));
    }

    // The master against the files.
    if (!master) {
        report.errors << master.error();
        return report;
    }
    std::unordered_set<int> listed, present;
    for (const auto &f : files) present.insert(f.first);
    for (const auto &e : master->entries) {
        listed.insert(e.code);
        if (!present.contains(e.code))
            report.findings.push_back({CheckKind::MasterFiles, QStringLiteral("meigara.dat"), 0,
                                       QStringLiteral("銘柄 ") + codeText(e.code) + QStringLiteral(" の株価ファイル ") + codeText(e.code) +
                                           QStringLiteral(".csv がありません")});
    }
    for (const auto &[code, name] : files)
        if (!listed.contains(code))
            report.findings.push_back({CheckKind::MasterFiles, name, 0, QStringLiteral("銘柄一覧（meigara.dat）にない銘柄の株価ファイルです")});
    return report;
}

} // namespace velor
