#include "import/AutoDownload.h"

#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/CorporateActions.h"
#include "db/PriceFile.h"
#include "db/Services.h"
#include "db/State.h"
#include "import/DailyImport.h"
#include "import/ImportJournal.h"
#include "import/LzhExtract.h"
#include "import/StockNames.h"

#include <QDir>
#include <QUrl>
#include <QFile>

#include <algorithm>
#include <functional>
#include <map>

namespace velor {

namespace {

const QString CRLF = QStringLiteral("\r\n");

QString question(const QString &site)
{
    return site + QStringLiteral("より、株価データを自動でダウンロードして、データベースに追加します。") + CRLF +
           QStringLiteral("年始は、") + site + QStringLiteral("　のページが変わりますので注意してください！") + CRLF +
           QStringLiteral("年始の最初のデータは手動で追加して下さい") + CRLF + CRLF + QStringLiteral("最大") +
           QString::number(kMaxLinks) + QStringLiteral("個のファイルをダウンロード／追加します。") + CRLF + CRLF +
           QStringLiteral("実行しますか？");
}

void emptyFolder(const QString &folder)
{
    for (const QString &n : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(pathIn(withTrailingSeparator(folder), n));
}


QString fetchFailed(const NetError &e)
{
    return QStringLiteral("ファイルを取得できませんでした：　") + e.address + CRLF + CRLF + e.reason + CRLF + CRLF +
           QStringLiteral("ダウンロードを中止します。");
}

// The status area of a download: its line, bar and stop button go when the run ends, however
// it ends (an import that follows shows its own progress).
class Activity {
public:
    explicit Activity(Shell &shell) : m_shell(shell) {}
    ~Activity() { end(); }
    Activity(const Activity &) = delete;
    Activity &operator=(const Activity &) = delete;
    void show(const QString &text, int value, int maximum)
    {
        m_shown = true;
        m_shell.showActivity(text, value, maximum);
    }
    /// FetchLimits::progress for one transfer: shows how far it is, and stops it on request.
    std::function<bool(qint64, qint64)> follow(std::function<void(qint64, qint64)> shown)
    {
        return [this, shown = std::move(shown)](qint64 received, qint64 total) {
            shown(received, total);
            return !m_shell.stopRequested();
        };
    }
    void end()
    {
        if (m_shown) m_shell.endActivity();
        m_shown = false;
    }
private:
    Shell &m_shell;
    bool m_shown = false;
};


// "dataYYYY/DYYMMDD.lzh" → what the status area says while it comes in.
QString archiveActivity(const QString &link, int index, int count, qint64 received, qint64 total)
{
    const QString day = link.mid(4, 4) + '/' + link.mid(12, 2) + '/' + link.mid(14, 2);
    return QStringLiteral("株価データをダウンロードしています： %1 の分（%2/%3 件目） ").arg(day).arg(index + 1).arg(count) +
           kilobytes(received) + (total > 0 ? QStringLiteral(" / ") + kilobytes(total) : QString());
}

constexpr int kStepsPerFile = 1000;   // the bar's steps for one archive

QString cancelledText()
{
    return QStringLiteral("ダウンロードを中止しました。この回にダウンロードした日のデータは追加していません（データベースは変わっていません）。");
}

enum class Fetched { All, Failed, Cancelled };

// Downloads the links into the inbox, showing each name and how far it is; on a failure or a
// stop the files of this run are removed again (nothing of an unfinished download is imported
// later by accident). With `untilMissing` (links newest first, for an empty database) the first
// archive the site no longer holds ends the list instead of the download.
Fetched fetchAll(Services &sv, Activity &activity, const QString &site, const QStringList &links, const QString &inbox,
                 int timeoutMs, QStringList &fetched, bool untilMissing = false)
{
    const QString folder = withTrailingSeparator(inbox);
    const int count = int(links.size());
    for (int index = 0; index < count; ++index) {
        const QString &link = links[index];
        const QString name = link.right(11);
        if (FileExist(pathIn(folder, name))) continue;
        // On top of what the pane holds; read back and written again, the window's kept lines
        // would be doubled at every file.
        sv.shell.prependMessage(name + QStringLiteral("をダウンロードしています") + CRLF);
        sv.shell.keepAlive();
        FetchLimits limits{timeoutMs, kMaxLzhMember};
        limits.progress = activity.follow([&](qint64 received, qint64 total) {
            const int part = total > 0 ? int(std::min(received, total) * kStepsPerFile / total) : 0;
            activity.show(archiveActivity(link, index, count, received, total), index * kStepsPerFile + part,
                          count * kStepsPerFile);
        });
        limits.progress(0, -1);
        // Streamed to disk: however large the archive, only a small buffer is held.
        const auto saved = sv.net.fetchToFile(joinAddress(site, link), limits, pathIn(folder, name));
        if (!saved && untilMissing && saved.error().notFound && !fetched.isEmpty()) break;
        if (!saved) {
            for (const QString &n : fetched) QFile::remove(pathIn(folder, n));
            if (saved.error().cancelled) return Fetched::Cancelled;
            activity.end();
            sv.dialogs.message(saved.error().writeFailed ? saved.error().reason : fetchFailed(saved.error()), Icon::Error);
            return Fetched::Failed;
        }
        fetched << name;
    }
    return Fetched::All;
}

} // namespace

int32_t newestStoredDay(const State &st)
{
    const auto sections = readPriceFile(st.priceFilePath(1001));
    if (!sections || (*sections)[0].empty()) return 0;
    return (*sections)[0].front().date;
}

QString kilobytes(qint64 bytes) { return QString::number((bytes + 1023) / 1024) + QStringLiteral(" KB"); }

QStringList offeredLinks(const QByteArray &page)
{
    std::map<QByteArray, QByteArray, std::greater<>> byDay;   // "YYYYMMDD" → link, newest first
    const auto digits = [](const QByteArray &t) {
        return !t.isEmpty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    for (qsizetype at = page.indexOf("data"); at >= 0; at = page.indexOf("data", at + 4)) {
        const QByteArray link = page.mid(at, 20);
        if (link.size() < 20 || link.mid(8, 2) != "/D" || !digits(link.mid(4, 4)) || !digits(link.mid(10, 6)) ||
            link.mid(6, 2) != link.mid(10, 2) || link[16] != '.')
            continue;
        byDay.emplace(link.mid(4, 4) + link.mid(12, 4), link);
    }
    QStringList out;
    for (const auto &[day, link] : byDay) {
        if (out.size() >= kMaxLinks) break;
        out << QString::fromLatin1(link);
    }
    return out;
}

QStringList linksToFetch(const QByteArray &page, int32_t newestDay, bool &found)
{
    const QByteArray day = QByteArray::number(newestDay);
    const QByteArray folder = "data" + day.left(4) + "/D";
    const qsizetype start = page.indexOf(folder + day.right(6));
    found = start >= 0;
    QStringList out;
    if (!found) return out;
    const QByteArray yy = day.mid(2, 2);
    const int newest6 = day.mid(2, 6).toInt();
    qsizetype at = start + 19;
    for (int examined = 0; examined < kMaxLinks; ++examined) {
        const qsizetype hit = page.indexOf(folder, at);
        if (hit < 0) break;
        const QByteArray link = page.mid(hit, 20);
        const QByteArray name = link.right(11);
        if (name.mid(1, 2) != yy) {
            at = hit + 19;
            continue;
        }
        bool ok = false;
        const int ymd = name.mid(1, 6).toInt(&ok);
        if (ok && ymd > newest6 && !out.contains(QString::fromLatin1(link))) out << QString::fromLatin1(link);
        at = hit + 10;
    }
    return out;
}

// Drops the links of days after `today` (YYYYMMDD): such a file cannot be a finished trading day,
// and the import would refuse it and every day after it. Each link is "dataYYYY/DYYMMDD.lzh".
QStringList upToToday(const QStringList &links, int32_t today)
{
    QStringList out;
    for (const QString &link : links)
        if ((link.mid(4, 4) + link.mid(12, 4)).toInt() <= today) out << link;
    return out;
}

bool recordSiteSplits(State &st, Services &sv, int timeoutMs)
{
    if (st.sites.SplitListUrl.isEmpty()) return true;
    auto page = sv.net.fetch(st.sites.SplitListUrl, FetchLimits{timeoutMs, qint64(4) << 20});
    if (!page) {
        // The days are imported all the same; a split not recorded is found again next time.
        sv.shell.notice(QStringLiteral("株式分割の一覧 ") + st.sites.SplitListUrl + QStringLiteral(" を取得できませんでした（") +
                        fetchFailed(page.error()).simplified() + QStringLiteral("）。"));
        return true;
    }
    const QString path = actionsPath(st.DataDir);
    CorporateActions table;
    if (auto r = table.load(path); !r) return sv.dialogs.message(r.error(), Icon::Error), false;
    CorporateActions offered;
    offered.parse(*page);
    const QDate today = sv.clock.now().date();
    const int32_t ymd = today.year() * 10000 + today.month() * 100 + today.day();
    QStringList added;
    for (const CorporateAction &a : offered.all())
        // Only what has happened: a future ex-date would shift today's prices to a basis not yet traded.
        if (a.exDate <= ymd && st.entryOf(a.code) > 0 && table.add(a)) added << actionLine(a);
    if (added.isEmpty()) return true;
    if (auto r = saveBytes(path, table.bytes()); !r) return sv.dialogs.message(r.error(), Icon::Error), false;
    st.actions = table;
    for (const QString &line : added)
        sv.shell.prependMessage(QStringLiteral("株式分割・併合を記録しました： ") + line + CRLF);
    return true;
}

QString noDataSiteText(const QString &sitesIni)
{
    return QStringLiteral("株価データのダウンロード元（DataSiteUrl）が設定されていません。") + CRLF + CRLF +
           QStringLiteral("メニューの「ファイル」→「設定…」でダウンロード元のページのアドレスを入れるか、") + sitesIni +
           QStringLiteral(" の DataSiteUrl= の行に書いて下さい。");
}

bool JIDOU(State &st, Services &sv)
{
    // A damaged journal would refuse the import anyway: say so before anything is fetched.
    if (auto j = readJournal(journalPath(st.DataDir)); !j) return sv.dialogs.message(j.error(), Icon::Error), false;
    const QString site = st.sites.DataSiteUrl.trimmed();
    // The built-in address names no real host: say what is missing and where to set it instead
    // of failing to find it. Nothing was done, so the command line counts it an error.
    if (site.isEmpty() || QUrl(site).host().endsWith(QLatin1String(".invalid"))) {
        sv.dialogs.report(noDataSiteText(pathIn(st.ProgramDir, QStringLiteral("sites.ini"))), Icon::Warning, true);
        return false;
    }
    if (sv.dialogs.message(question(site), Icon::None, {}, Buttons::OkCancel) != Answer::Ok) return true;
    const QString inbox = st.DataDir + QStringLiteral("tmp");
    emptyFolder(inbox);
    if (!FolderExist(inbox)) {
        sv.dialogs.message(QStringLiteral("指定されたデータダウンロード先フォルダー：　") + inbox + CRLF + CRLF +
                               QStringLiteral("が存在しません。"),
                           Icon::Error, QStringLiteral("Sub ShowFileList"));
        return false;
    }
    sv.shell.clearMessages();
    const int timeoutMs = st.sites.FetchTimeoutSeconds * 1000;
    Activity activity(sv.shell);
    FetchLimits pageLimits{timeoutMs, qint64(4) << 20};
    pageLimits.progress = activity.follow([&](qint64 received, qint64) {
        activity.show(QStringLiteral("株価データのサイトを読んでいます： ") + site + ' ' + kilobytes(received), 0, 0);
    });
    pageLimits.progress(0, -1);
    auto page = sv.net.fetch(site, pageLimits);
    if (!page && page.error().cancelled) return sv.shell.notice(cancelledText()), true;
    if (!page) {
        activity.end();
        return sv.dialogs.message(fetchFailed(page.error()), Icon::Error), false;
    }
    const int32_t newest = newestStoredDay(st);
    bool found = false;
    // An empty database has no day to start after: it takes the days the site offers.
    const QStringList offered = newest == 0 ? offeredLinks(*page) : linksToFetch(*page, newest, found);
    const QDate today = sv.clock.now().date();
    const QStringList links = upToToday(offered, today.year() * 10000 + today.month() * 100 + today.day());
    if (newest == 0 && offered.isEmpty()) {
        sv.dialogs.message(QStringLiteral("ページ：　") + site + QStringLiteral(" に株価データのファイルへのリンクが見つかりません。") +
                               CRLF + CRLF + QStringLiteral("ダウンロードを中止します。"),
                           Icon::Error);
        return false;
    }
    if (newest != 0 && !found) {
        sv.dialogs.message(QStringLiteral("ページ：　") + site + QStringLiteral(" に最新の格納日（") + LngStr(newest) +
                               QStringLiteral("）のファイルへのリンクが見つかりません。") + CRLF + CRLF +
                               QStringLiteral("ダウンロードを中止します。"),
                           Icon::Error);
        return false;
    }
    QStringList fetched;
    const Fetched outcome = fetchAll(sv, activity, site, links, inbox, timeoutMs, fetched, newest == 0);
    activity.end();
    if (outcome == Fetched::Cancelled) return sv.shell.notice(cancelledText()), true;
    if (outcome == Fetched::Failed) return false;
    // Before the import, so that a split the site lists is not taken for a move to report.
    if (!recordSiteSplits(st, sv, timeoutMs)) return false;
    bool ok = true;
    st.DownloadState = -1;
    if (fetched.isEmpty()) {
        sv.shell.clearMessages();
        sv.shell.prependMessage(QStringLiteral("新しいデータはありません") + CRLF);
        // A day an interrupted import left unfinished is completed even without new files.
        if (QFile::exists(journalPath(st.DataDir))) ok = SHUDOU(st, sv);
    } else {
        sv.shell.prependMessage(CRLF + QStringLiteral("データのダウンロードが終わりました") + CRLF);
        sv.shell.keepAlive();
        ok = SHUDOU(st, sv);
    }
    // The daily file carries no names: the site's list names the stocks it added.
    if (ok) ok = nameNewStocks(st, sv, timeoutMs);
    st.DownloadState = 0;
    return ok;
}

} // namespace velor
