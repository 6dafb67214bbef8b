#include "import/JQuantsDownload.h"

#include "common/ApiKey.h"
#include "common/StockCode.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/CorporateActions.h"
#include "db/PriceFile.h"
#include "db/Services.h"
#include "db/State.h"
#include "import/AutoDownload.h"
#include "import/DailyImport.h"
#include "import/ImportJournal.h"
#include "import/JQuantsClient.h"
#include "import/JQuantsData.h"
#include "import/StockNames.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <unordered_map>

namespace velor {

namespace {

const QString CRLF = QStringLiteral("\r\n");

int32_t ymd(const QDate &d) { return d.year() * 10000 + d.month() * 100 + d.day(); }
QDate dateOf(int32_t v) { return QDate(v / 10000, (v / 100) % 100, v % 100); }
QString slashed(int32_t v) { return dateOf(v).toString(QStringLiteral("yyyy/MM/dd")); }
QString plain(int32_t v) { return QString::number(v); }

QString minutesText(qint64 ms)
{
    const qint64 minutes = (ms + 59999) / 60000;
    return minutes <= 1 ? QStringLiteral("1 分以内") : QStringLiteral("約 %1 分").arg(minutes);
}

QString question(const QString &base, jq::Plan plan, const std::vector<int32_t> &days, qint64 requests, qint64 ms)
{
    return base + QStringLiteral(" （J-Quants API）から株価データを取得して、データベースに追加します。") + CRLF + CRLF +
           QStringLiteral("%1 日分（%2 から %3 まで）、要求は約 %4 回です。")
               .arg(days.size())
               .arg(slashed(days.front()), slashed(days.back()))
               .arg(requests) + CRLF +
           QStringLiteral("プラン（%1）の上限は毎分 %2 回なので、%3。")
               .arg(jq::planText(plan))
               .arg(jq::requestsPerMinute(plan))
               .arg(ms <= 60000 ? QStringLiteral("1 分以内で終わります") : QStringLiteral("約 %1 分かかります").arg((ms + 59999) / 60000)) +
           CRLF + QStringLiteral("中止しても、取得の終わった日は追加されます。") + CRLF + CRLF + QStringLiteral("実行しますか？");
}

// The status area, the message pane and the stop button of one run.
struct Progress {
    Shell &shell;
    jq::PaceTimer &timer;
    int total = 0;
    qint64 startedMs = 0;
    qint64 spacing = 0;
    void show(int index, int32_t day, qint64 received)
    {
        // The time left from the days done so far, and never less than the plan's spacing allows.
        const qint64 spent = timer.elapsedMs() - startedMs;
        const qint64 perDay = index > 0 ? std::max(spent / index, spacing) : spacing;
        shell.showActivity(QStringLiteral("J-Quants から株価を取得しています： %1 の分（%2/%3 日目） %4　残り %5")
                               .arg(slashed(day))
                               .arg(index + 1)
                               .arg(total)
                               .arg(kilobytes(received))
                               .arg(minutesText(perDay * (total - index))),
                           index, total);
    }
};

struct Outcome {
    bool stopped = false;     // the user stopped it
    bool notServed = false;   // the API has nothing yet from this day on
    QString failure;          // an error ended it
    bool authFailed = false;
};

// Records the splits seen before their days are imported (a split already recorded is kept).
std::expected<QStringList, QString> recordSplits(State &st, const std::vector<jq::SplitSeen> &seen)
{
    const QString path = actionsPath(st.DataDir);
    CorporateActions table;
    if (auto r = table.load(path); !r) return std::unexpected(r.error());
    QStringList added;
    for (const jq::SplitSeen &s : seen) {
        const CorporateAction a{s.code, s.exDate, s.before, s.after};
        if (table.add(a)) added << actionLine(a);
    }
    if (added.isEmpty()) return added;
    if (auto r = saveBytes(path, table.bytes()); !r) return std::unexpected(r.error());
    st.actions = table;
    return added;
}

// The imports of a download's groups: each would end with its own "done" box, which a first fill
// of many groups would show again and again; it is said once, when the whole download has ended.
class GroupDialogs final : public Dialogs {
public:
    explicit GroupDialogs(Dialogs &real) : m_real(real) {}
    Answer message(const QString &text, Icon icon, const QString &caption, Buttons buttons) override
    {
        if (text == doneText() && icon == Icon::None && buttons == Buttons::Ok) {
            m_done = true;
            return Answer::Ok;
        }
        return m_real.message(text, icon, caption, buttons);
    }
    Answer report(const QString &text, Icon icon, bool failed) override { return m_real.report(text, icon, failed); }
    QString openFile(const QString &t, const QString &d, const QString &f) override { return m_real.openFile(t, d, f); }
    QString saveFile(const QString &t, const QString &p, const QString &f) override { return m_real.saveFile(t, p, f); }
    static QString doneText() { return QStringLiteral("データの追加が終わりました"); }
    bool done() const { return m_done; }
private:
    Dialogs &m_real;
    bool m_done = false;
};

// A day's rows from the monthly bulk files, one file fetched per month as its days come: the
// exchange asks clients to take history this way rather than a request per day.
class BulkDays {
public:
    BulkDays(jq::Client &client, const QJsonArray &files) : m_client(client)
    {
        for (const QJsonValue &v : files) m_keys << v.toObject().value(QLatin1String("Key")).toString();
    }
    bool offers(int32_t day) const { return !keyOf(day).isEmpty(); }
    std::expected<std::vector<jq::BarRow>, jq::ClientError> rows(int32_t day, const std::function<bool(qint64)> &progress)
    {
        const int month = day / 100;
        if (month != m_month) {
            m_days.clear();
            m_month = 0;
            auto where = m_client.object(QStringLiteral("/bulk/get"), {{QStringLiteral("key"), keyOf(day)}});
            if (!where) return std::unexpected(where.error());
            const QString url = where->value(QLatin1String("url")).toString();
            if (url.isEmpty()) return std::unexpected(jq::ClientError{jq::ClientError::Failed, QStringLiteral("J-Quants API が一括ファイルのアドレスを返しませんでした：　") + keyOf(day)});
            auto gz = m_client.download(url, qint64(512) << 20, progress);
            if (!gz) return std::unexpected(gz.error());
            auto csv = jq::gunzipBytes(*gz, qint64(2) << 30);
            if (!csv) return std::unexpected(jq::ClientError{jq::ClientError::Failed, keyOf(day) + QStringLiteral("：　") + csv.error()});
            auto byDay = jq::bulkRows(*csv);
            if (!byDay) return std::unexpected(jq::ClientError{jq::ClientError::Failed, keyOf(day) + QStringLiteral(" の ") + byDay.error()});
            for (auto &[d, r] : *byDay) m_days[d] = std::move(r);
            m_month = month;
        }
        const auto it = m_days.find(day);
        return it == m_days.end() ? std::vector<jq::BarRow>() : it->second;
    }

private:
    QString keyOf(int32_t day) const
    {
        const QString tail = QString::number(day / 100) + QStringLiteral(".csv");
        for (const QString &k : m_keys)
            if (k.contains(tail)) return k;
        return {};
    }
    jq::Client &m_client;
    QStringList m_keys;
    int m_month = 0;
    std::unordered_map<int32_t, std::vector<jq::BarRow>> m_days;
};

} // namespace

QByteArray jquantsKey(Keyring *keyring) { return readApiKey(keyring); }

bool downloadFromJQuants(State &st, Services &sv, jq::PaceTimer &timer, const QByteArray &key, int32_t since)
{
    // A damaged journal would refuse the import anyway: say so before anything is fetched.
    if (auto j = readJournal(journalPath(st.DataDir)); !j) return sv.dialogs.message(j.error(), Icon::Error), false;
    if (key.isEmpty()) return sv.dialogs.report(jq::noKeyText(), Icon::Error, true), false;
    const jq::Plan plan = jq::planFromText(st.sites.JQuantsPlan).value_or(jq::Plan::Free);
    const QString base = st.sites.JQuantsBaseUrl.trimmed();
    const QString inbox = st.DataDir + QStringLiteral("tmp");
    if (!FolderExist(inbox)) {
        sv.dialogs.message(QStringLiteral("指定されたデータダウンロード先フォルダー：　") + inbox + CRLF + CRLF +
                               QStringLiteral("が存在しません。"),
                           Icon::Error, QStringLiteral("Sub ShowFileList"));
        return false;
    }
    jq::Client client(sv.net, timer, base, key, plan, st.sites.FetchTimeoutSeconds);
    const auto fail = [&](const jq::ClientError &e) {
        sv.shell.endActivity();
        if (e.kind == jq::ClientError::Cancelled) return sv.shell.notice(QStringLiteral("ダウンロードを中止しました。")), true;
        sv.dialogs.message(e.text, Icon::Error);
        return false;
    };
    // Days an interrupted import left in its journal are stored before the newest day is looked up.
    if (QFile::exists(journalPath(st.DataDir))) {
        st.DownloadState = -1;
        const bool finished = SHUDOU(st, sv);
        st.DownloadState = 0;
        if (!finished) return false;
    }
    const QDate today = sv.clock.now().date();
    const int32_t servedUpTo = ymd(today.addDays(-jq::delayDays(plan)));
    const int32_t newest = newestStoredDay(st);
    int32_t first = newest != 0 ? ymd(dateOf(newest).addDays(1)) : since != 0 ? since : ymd(dateOf(servedUpTo).addMonths(-15));
    if (newest != 0 && since > first) first = since;
    sv.shell.clearMessages();
    if (first > servedUpTo) {
        // Nothing the plan serves can be newer: no request is spent on it.
        if (plan == jq::Plan::Free)
            sv.shell.prependMessage(QStringLiteral("無料プランのデータは 12 週間遅れです。最新は %1 です。").arg(slashed(newest)) + CRLF);
        sv.shell.prependMessage(QStringLiteral("新しいデータはありません") + CRLF);
        return true;
    }
    sv.shell.showActivity(QStringLiteral("J-Quants の営業日カレンダーを読んでいます： ") + base, 0, 0);
    auto calendar = client.rows(QStringLiteral("/markets/calendar"),
                                {{QStringLiteral("from"), plain(std::min(first, servedUpTo))}, {QStringLiteral("to"), plain(servedUpTo)}});
    if (!calendar) return fail(calendar.error());
    std::vector<int32_t> days;
    for (const int32_t d : jq::tradingDays(*calendar))
        if (d >= first && d <= servedUpTo) days.push_back(d);
    if (plan == jq::Plan::Free) {
        int32_t latest = 0;
        for (const int32_t d : jq::tradingDays(*calendar)) latest = std::max(latest, d);
        sv.shell.prependMessage(QStringLiteral("無料プランのデータは 12 週間遅れです。最新は %1 です。").arg(slashed(latest ? latest : servedUpTo)) + CRLF);
    }
    if (days.empty()) {
        sv.shell.endActivity();
        sv.shell.prependMessage(QStringLiteral("新しいデータはありません") + CRLF);
        st.DownloadState = -1;
        bool ok = true;
        // A day an interrupted import left unfinished is completed even without new days.
        if (QFile::exists(journalPath(st.DataDir))) ok = SHUDOU(st, sv);
        st.DownloadState = 0;
        return ok;
    }
    // A first fill takes the history from the monthly bulk files where the plan offers them; a
    // plan without them (or a refusal of the list) takes a request per day.
    std::optional<BulkDays> bulk;
    if (days.size() > size_t(kDaysPerImport)) {
        auto files = client.rows(QStringLiteral("/bulk/list"), {{QStringLiteral("endpoint"), QStringLiteral("/equities/bars/daily")}});
        if (files && !files->isEmpty()) bulk.emplace(client, *files);
        else if (!files && files.error().kind == jq::ClientError::Cancelled) return fail(files.error());
    }
    // A day of the whole market is about 4,400 rows, which the API may split into pages; a month
    // of bulk history is two requests (its address, then the file).
    std::set<int> months;
    for (const int32_t d : days) if (bulk && bulk->offers(d)) months.insert(d / 100);
    qint64 requests = 2;
    for (const int32_t d : days) requests += bulk && bulk->offers(d) ? 0 : 1;
    requests += 2 * qint64(months.size());
    const qint64 spacing = jq::spacingMs(plan);
    if (sv.dialogs.message(question(base, plan, days, requests, requests * spacing), Icon::None, {}, Buttons::OkCancel) != Answer::Ok) return sv.shell.endActivity(), true;
    for (const QString &n : QDir(inbox).entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(pathIn(withTrailingSeparator(inbox), n));

    auto topix = client.rows(QStringLiteral("/indices/bars/daily/topix"),
                             {{QStringLiteral("from"), plain(days.front())}, {QStringLiteral("to"), plain(days.back())}});
    if (!topix) return fail(topix.error());
    const auto index = jq::indexBars(*topix);
    // The master as of the first day knows the stocks delisted since, the one of the last day the
    // listings since and today's names and segments; a stock listed and delisted in between is
    // asked for by its code when a day holds it (once).
    std::unordered_map<int, jq::MasterRow> master;
    std::set<int> askedCodes;
    int otherInMaster = 0;
    const auto learnMaster = [&](const QList<std::pair<QString, QString>> &query) -> std::optional<jq::ClientError> {
        auto answer = client.rows(QStringLiteral("/equities/master"), query);
        if (!answer) return answer.error();
        int others = 0;
        for (auto &[code, row] : jq::masterRows(*answer, &others)) master[code] = row;
        otherInMaster = std::max(otherInMaster, others);
        return std::nullopt;
    };
    if (auto e = learnMaster({{QStringLiteral("date"), plain(days.front())}})) return fail(*e);
    if (days.back() != days.front())
        if (auto e = learnMaster({{QStringLiteral("date"), plain(days.back())}})) return fail(*e);
    const auto namesOfMaster = [&] {
        std::unordered_map<int, NameListEntry> names;
        for (const auto &[code, row] : master) names[code] = {code, row.name, row.section};
        names[1001] = {1001, QStringLiteral("TOPIX"), 0};
        return names;
    };
    if (newest == 0)
        sv.shell.prependMessage(QStringLiteral("1001 には TOPIX を入れます。1002 の指数は J-Quants API からは取得しません。") + CRLF);

    GroupDialogs groupDialogs(sv.dialogs);
    Services quiet{sv.clock, sv.net, sv.launcher, sv.sound, groupDialogs, sv.shell, sv.liveQuote, sv.keyring};
    Progress progress{sv.shell, timer, int(days.size()), timer.elapsedMs(), spacing};
    Outcome end;
    int imported = 0, otherIssues = 0, noTrade = 0;
    QStringList odd;
    const QString folder = withTrailingSeparator(inbox);
    for (size_t start = 0; start < days.size() && end.failure.isEmpty() && !end.stopped && !end.notServed;
         start += kDaysPerImport) {
        std::vector<jq::SplitSeen> splits;
        int fetched = 0;
        for (size_t k = start; k < std::min(days.size(), start + kDaysPerImport); ++k) {
            const int32_t day = days[k];
            if (sv.shell.stopRequested()) {
                end.stopped = true;
                break;
            }
            progress.show(int(k), day, 0);
            const auto received = [&](qint64 bytes) {
                progress.show(int(k), day, bytes);
                return !sv.shell.stopRequested();
            };
            const auto perDay = [&]() -> std::expected<std::vector<jq::BarRow>, jq::ClientError> {
                auto answer = client.rows(QStringLiteral("/equities/bars/daily"), {{QStringLiteral("date"), plain(day)}}, received);
                if (!answer) return std::unexpected(answer.error());
                return jq::barRows(*answer);
            };
            auto rows = bulk && bulk->offers(day) ? bulk->rows(day, received) : perDay();
            // A month's file may not hold its newest days yet: those are asked for one by one.
            if (rows && rows->empty() && bulk && bulk->offers(day)) rows = perDay();
            if (!rows) {
                if (rows.error().kind == jq::ClientError::Cancelled) end.stopped = true;
                else end.failure = rows.error().text, end.authFailed = rows.error().kind == jq::ClientError::Auth;
                break;
            }
            const auto bar = index.find(day);
            if (rows->empty() || bar == index.end()) {
                end.notServed = true;
                sv.shell.prependMessage(QStringLiteral("%1 の株価はまだ提供されていません。").arg(slashed(day)) + CRLF);
                break;
            }
            std::optional<jq::ClientError> lookupFailed;
            for (const jq::BarRow &r : *rows) {
                const std::string_view apiCode(r.code.constData(), size_t(r.code.size()));
                // Most rows name a stock the master knows: no text is made for them.
                const auto code = apiCode.size() == 5 && apiCode[4] == '0' ? codeFromText(apiCode.substr(0, 4)) : std::nullopt;
                if (!code || *code < 1301 || master.count(*code) || !askedCodes.insert(*code).second) continue;
                if ((lookupFailed = learnMaster({{QStringLiteral("code"), QString::fromLatin1(r.code)}}))) break;
            }
            if (lookupFailed) {
                if (lookupFailed->kind == jq::ClientError::Cancelled) end.stopped = true;
                else end.failure = lookupFailed->text, end.authFailed = lookupFailed->kind == jq::ClientError::Auth;
                break;
            }
            auto lines = jq::dayLines(day, *rows, master, bar->second);
            if (!lines) {
                end.failure = QStringLiteral("J-Quants API の答えが正しくありません：　") + lines.error();
                break;
            }
            if (auto r = saveBytes(folder + QStringLiteral("JQ%1.csv").arg(day), lines->file); !r) {
                end.failure = r.error();
                break;
            }
            ++fetched;
            otherIssues = std::max(otherIssues, lines->otherIssues);
            noTrade += lines->noTrade;
            splits.insert(splits.end(), lines->splits.begin(), lines->splits.end());
            for (const jq::OddFactor &o : lines->oddFactors)
                odd << QStringLiteral("%1 の %2（調整係数 %3）").arg(codeText(o.code), slashed(o.exDate)).arg(o.factor);
        }
        if (fetched == 0) break;
        sv.shell.endActivity();
        // Before the import, so that the day a split takes effect is not taken for a move to report.
        auto added = recordSplits(st, splits);
        if (!added) return sv.dialogs.message(added.error(), Icon::Error), false;
        for (const QString &line : *added) sv.shell.prependMessage(QStringLiteral("株式分割・併合を記録しました： ") + line + CRLF);
        st.DownloadState = -1;
        const bool ok = SHUDOU(st, quiet);
        st.DownloadState = 0;
        if (!ok) return false;
        imported += fetched;
        auto naming = applyNames(st, namesOfMaster(), true);
        if (!naming) return sv.dialogs.message(naming.error(), Icon::Error), false;
        if (naming->named + naming->renamed > 0) {
            sv.shell.prependMessage(QStringLiteral("銘柄名を J-Quants の銘柄一覧から付けました： 新規銘柄 %1 銘柄、名前の変わった銘柄 %2 銘柄")
                                        .arg(naming->named)
                                        .arg(naming->renamed) +
                                    CRLF);
            sv.shell.loadWorkSet(-st.WorkKind);
        }
    }
    sv.shell.endActivity();
    if (otherIssues + otherInMaster > 0)
        sv.shell.prependMessage(QStringLiteral("優先株など普通株以外の %1 銘柄は取り込みません。").arg(std::max(otherIssues, otherInMaster)) + CRLF);
    if (noTrade > 0)
        sv.shell.prependMessage(QStringLiteral("売買のなかった銘柄の %1 件（銘柄×日）は、その日の足を作りません。").arg(noTrade) + CRLF);
    if (!odd.isEmpty())
        sv.shell.notice(QStringLiteral("簡単な比にならない調整係数は株式分割として記録していません： ") + odd.join(QStringLiteral("、")));
    sv.shell.prependMessage(QStringLiteral("J-Quants から %1 日分を追加しました（要求 %2 回）。").arg(imported).arg(client.requests()) + CRLF);
    if (groupDialogs.done() && end.failure.isEmpty()) sv.dialogs.message(GroupDialogs::doneText(), Icon::None);
    if (!end.failure.isEmpty()) {
        sv.dialogs.message(end.failure + (end.authFailed ? QString() : CRLF + CRLF + QStringLiteral("ダウンロードを中止します。")), Icon::Error);
        return false;
    }
    if (end.stopped)
        sv.shell.notice(QStringLiteral("ダウンロードを中止しました。取得の終わった %1 日分は追加してあります。次の実行で続きから取得します。").arg(imported));
    return true;
}

bool downloadPrices(State &st, Services &sv, int32_t since)
{
    if (!st.sites.usesJQuants()) return JIDOU(st, sv);
    jq::RealPaceTimer timer([&sv] { return sv.shell.stopRequested(); });
    return downloadFromJQuants(st, sv, timer, jquantsKey(sv.keyring), since);
}

} // namespace velor
