#include "import/ImportPass.h"

#include "common/NumText.h"
#include "common/StockCode.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/PriceFile.h"
#include "db/Services.h"
#include "db/State.h"
#include "db/StockMaster.h"
#include "import/MasterChanges.h"
#include "import/PendingLines.h"
#include "import/RollUp.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <future>
#include <map>
#include <set>
#include <sys/stat.h>

namespace velor {

namespace {

const QString CRLF = QStringLiteral("\r\n");
constexpr qint64 kMaxPriceFile = qint64(64) << 20;

// The line that names a move as a likely unrecorded split, with the command that records it.
QString splitSuggestion(int code, int32_t D, float previous, float close, std::pair<double, double> ratio)
{
    const QString date = QStringLiteral("%1-%2-%3").arg(D / 10000).arg(D / 100 % 100, 2, 10, QLatin1Char('0')).arg(D % 100, 2, 10, QLatin1Char('0'));
    const QString r = doubleText(ratio.first) + QLatin1Char(':') + doubleText(ratio.second);
    return QStringLiteral("銘柄： ") + codeText(code) + QStringLiteral(" の ") + LngStr(D) + QStringLiteral(" の終値 ") +
           singleText(close) + QStringLiteral(" は前日の ") + singleText(previous) +
           QStringLiteral(" から値幅制限を超えて動いています。") + r +
           QStringLiteral(" の株式分割・併合なら記録してください： velor split add ") + codeText(code) + QLatin1Char(' ') + date +
           QLatin1Char(' ') + r;
}

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

// A line the day could not add to a stock's file, kept until the day's log lines are written.
struct Unreadable {
    int day;
    size_t line;
    QString text;
};

class Pass {
public:
    Pass(State &st, Services &sv, const PassPlan &plan, BatchFileOps &ops)
        : m_st(st), m_sv(sv), m_plan(plan), m_dataDir(st.DataDir), m_batch(st.DataDir, ops)
    {
    }
    bool run(bool fresh);

private:
    bool fail(const QString &text)
    {
        m_sv.dialogs.message(text, Icon::Error);
        return false;
    }
    // One stock's file after the pass's days, worked out without touching the disk's files.
    struct Stock {
        QString path;
        std::optional<QByteArray> bytes;   // the new text; nothing when unchanged
        std::vector<Unreadable> unreadable;
        std::vector<Unreadable> suggested;   // moves that look like an unrecorded split
        std::vector<PendingLine> deferred;   // lines kept for a later import
        int steps = 0;
    };
    Stock stock(int code, const std::vector<std::pair<int, size_t>> &uses) const;
    bool write(Stock &s);
    bool stocks(const std::map<int, std::vector<std::pair<int, size_t>>> &uses);
    bool logAndMessages();
    void step();

    State &m_st;
    Services &m_sv;
    const PassPlan &m_plan;
    const QString m_dataDir;   // the second thread's copy: the window's state may change meanwhile
    BatchWriter m_batch;
    std::vector<MasterChanges> m_changes;
    std::vector<Unreadable> m_unreadable, m_suggested;
    std::map<int, std::vector<PendingLine>> m_pending;   // lines still waiting, and those this pass defers
    std::set<int> m_waiting;   // the stocks that had lines waiting before the pass (read by the worker threads)
    int m_steps = 0, m_done = 0, m_max = 0;
};

void Pass::step()
{
    ++m_done;
    m_sv.shell.setProgress(int(std::min<qint64>(m_max, (qint64(m_done) * m_max + m_steps - 1) / std::max(m_steps, 1))),
                           m_max);
    if (m_done % 64 == 0) m_sv.shell.keepAlive();
}

bool Pass::run(bool fresh)
{
    auto before = parseMaster(m_plan.journal.master, m_st.MasterPath);
    if (!before) return fail(before.error());
    MasterImage master = *before;
    bool masterChanged = false;
    for (const DailyFile &day : m_plan.days) {
        m_changes.push_back(masterChanges(master, day));
        if (int(m_changes.back().entries.size()) > m_st.MaxStocks) return fail(QStringLiteral("これ以上データを追加出来ません。"));
        master.entries = m_changes.back().entries;
        masterChanged = masterChanged || m_changes.back().changed;
    }
    const QString jpath = journalPath(m_st.DataDir);
    if (fresh)
        if (auto r = writeJournal(jpath, m_plan.journal); !r) return fail(r.error());

    // Each stock's lines in day order, then in the order of its day's file.
    std::map<int, std::vector<std::pair<int, size_t>>> uses;
    for (int k = 0; k < m_plan.dayCount(); ++k)
        for (size_t i = 0; i < m_plan.days[size_t(k)].lines.size(); ++i) {
            uses[m_plan.days[size_t(k)].lines[i].code].emplace_back(k, i);
            ++m_steps;
        }
    m_steps += int(uses.size());   // the renames
    m_max = int(master.entries.size());
    // Lines an earlier import had to keep waiting: their stocks' new days wait with them.
    const QString waiting = pendingPath(m_st.DataDir);
    auto pending = readPending(waiting);
    if (!pending) return fail(pending.error());
    m_pending = std::move(*pending);
    for (const auto &[code, lines] : m_pending) m_waiting.insert(code);
    const bool hadPending = !m_pending.empty();
    if (!stocks(uses)) return m_batch.discard(), false;
    if (hadPending || !m_pending.empty())
        if (auto r = m_batch.add(waiting, pendingBytes(m_pending)); !r) return m_batch.discard(), fail(r.error());
    if (!logAndMessages()) return m_batch.discard(), false;
    if (masterChanged) {
        if (auto r = writeMaster(m_st.MasterPath, before->header, master.entries); !r) return m_batch.discard(), fail(r.error());
        if (auto r = MEIGARAIN(m_st); !r) return m_batch.discard(), fail(r.error());
    }
    if (auto r = m_batch.commit([this] { step(); }); !r) return fail(r.error());
    if (auto r = removeJournal(jpath); !r) return fail(r.error());
    return true;
}

Pass::Stock Pass::stock(int code, const std::vector<std::pair<int, size_t>> &uses) const
{
    Stock out;
    out.path = State::priceFilePath(m_dataDir, code);
    out.steps = int(uses.size());
    auto stored = readStoredFile(out.path);
    std::optional<QByteArray> file;
    QString readError;
    if (stored) file = std::move(*stored);
    else readError = stored.error();
    const std::optional<QByteArray> original = file;
    // The close before each day, for the moves that look like an unrecorded split.
    std::optional<float> previous;
    if (file) {
        const qsizetype a = file->indexOf('\n'), b = a < 0 ? -1 : file->indexOf('\n', a + 1);
        if (b > a + 1)
            if (const auto bar = parseBarLine(file->constData() + a + 1, file->constData() + b - (file->at(b - 1) == '\r')))
                if (bar->date > 0 && bar->close > 0) previous = bar->close;
    }
    const auto recorded = m_st.actions.of(code);
    // A stock with lines still waiting takes no newer day before them: its file never skips one.
    bool deferring = m_waiting.count(code) > 0;
    // After a first roll-up, the stock's further days are applied to its lines in memory.
    std::optional<RolledFile> rolled;
    for (const auto &[k, i] : uses) {
        const DailyFile &day = m_plan.days[size_t(k)];
        const DailyLine &line = day.lines[i];
        const bool isNew = m_changes[size_t(k)].isNew[i];
        if (previous && line.volume > 0 && code >= 1301 &&
            std::none_of(recorded.begin(), recorded.end(), [&day](const CorporateAction &a) { return a.exDate == day.D; }))
            if (const auto r = suggestedRatio(*previous, line.c)) out.suggested.push_back({k, i, splitSuggestion(code, day.D, *previous, line.c, *r)});
        if (line.volume > 0 && line.c > 0) previous = line.c;
        if (deferring) {
            out.deferred.push_back(pendingLine(day, line));
            continue;
        }
        if (rolled && !isNew && rolled->apply(day, line, m_plan.calendar(k))) continue;
        if (rolled) file = rolled->bytes(), rolled.reset();
        QString error = readError;
        // A file that exists but cannot be opened is never taken for a missing one.
        const bool ok = (readError.isEmpty() || isNew)
                            ? applyDayLine(file, day, line, isNew, m_plan.calendar(k), error, uses.size() > 1 ? &rolled : nullptr)
                            : false;
        if (isNew) readError.clear();
        if (!ok) {
            out.unreadable.push_back({k, i, QStringLiteral("銘柄： ") + codeText(line.code) + QStringLiteral(" の株価ファイル ") +
                                                out.path + QStringLiteral(" が読めないため（") + error + QStringLiteral("）、") +
                                                LngStr(day.D) + QStringLiteral(" のデータを追加しませんでした。") +
                                                QStringLiteral("保留して、読めるようになった後の取り込みで追加します。")});
            out.deferred.push_back(pendingLine(day, line));
            deferring = true;
        }
    }
    if (rolled) file = rolled->bytes();
    if (file && file != original) out.bytes = std::move(file);
    return out;
}

bool Pass::write(Stock &s)
{
    m_unreadable.insert(m_unreadable.end(), s.unreadable.begin(), s.unreadable.end());
    m_suggested.insert(m_suggested.end(), s.suggested.begin(), s.suggested.end());
    for (PendingLine &p : s.deferred) {
        const int code = p.day.lines.front().code;
        m_pending[code].push_back(std::move(p));
    }
    for (int k = 0; k < s.steps; ++k) step();
    if (s.bytes)
        if (auto r = m_batch.add(s.path, *s.bytes); !r) return fail(r.error());
    return true;
}

bool Pass::stocks(const std::map<int, std::vector<std::pair<int, size_t>>> &uses)
{
    // Reading and rolling up run on other threads a little ahead of the writes, so that the
    // processor's work overlaps the disk's. Only this thread reports, steps and writes, in
    // the stocks' order, so the results and every pause point are those of a plain loop.
    using Entry = std::map<int, std::vector<std::pair<int, size_t>>>::const_iterator;
    constexpr int kChunk = 32;
    auto compute = [this](Entry from, Entry to) {
        std::vector<Stock> out;
        for (; from != to; ++from) out.push_back(stock(from->first, from->second));
        return out;
    };
    auto advance = [&](Entry e) {
        for (int n = 0; n < kChunk && e != uses.end(); ++n) ++e;
        return e;
    };
    // Two chunks are worked out at a time while this thread writes the one before.
    constexpr int kAhead = 2;
    std::deque<std::future<std::vector<Stock>>> ahead;
    Entry next = uses.begin();
    auto launch = [&] {
        while (int(ahead.size()) < kAhead && next != uses.end()) {
            const Entry after = advance(next);
            // Where no thread can be started, the chunk is worked out here when it is needed.
            ahead.push_back(std::async(std::launch::async | std::launch::deferred, compute, next, after));
            next = after;
        }
    };
    launch();
    while (!ahead.empty()) {
        std::vector<Stock> chunk = ahead.front().get();
        ahead.pop_front();
        launch();
        for (Stock &s : chunk)
            if (!write(s)) return false;   // the futures' destructors wait for the chunks in hand
    }
    return true;
}

bool Pass::logAndMessages()
{
    std::stable_sort(m_unreadable.begin(), m_unreadable.end(),
                     [](const Unreadable &a, const Unreadable &b) { return std::tie(a.day, a.line) < std::tie(b.day, b.line); });
    std::stable_sort(m_suggested.begin(), m_suggested.end(),
                     [](const Unreadable &a, const Unreadable &b) { return std::tie(a.day, a.line) < std::tie(b.day, b.line); });
    LogAppender log(m_st.LogPath, m_plan.journal.logSize);
    auto next = m_unreadable.begin();
    auto suggestion = m_suggested.begin();
    for (int k = 0; k < m_plan.dayCount(); ++k) {
        const int32_t D = m_plan.days[size_t(k)].D;
        m_sv.shell.prependMessage(LngStr(D) + QStringLiteral(" のデータを追加しています") + CRLF);
        m_sv.shell.keepAlive();
        for (const QString &l : m_changes[size_t(k)].logLines)
            if (auto r = log.append(l); !r) return fail(r.error());
        for (const QString &m : m_changes[size_t(k)].messageLines) m_sv.shell.prependMessage(m);
        for (; next != m_unreadable.end() && next->day == k; ++next) {
            m_sv.shell.notice(next->text);
            if (auto r = log.append(LngStr(D) + QStringLiteral("：　") + next->text); !r) return fail(r.error());
        }
        for (; suggestion != m_suggested.end() && suggestion->day == k; ++suggestion) m_sv.shell.notice(suggestion->text);
    }
    return true;
}

} // namespace

void PassPlan::add(DailyFile day, const QString &source, const QString &inbox, const QByteArray &data,
                   std::vector<int32_t> calendar)
{
    if (days.empty()) {
        journal.day = day.D;
        journal.source = source;
        journal.inbox = inbox;
        journal.calendar = std::move(calendar);
        journal.data = data;
    } else {
        journal.later.push_back({day.D, source, inbox, std::move(calendar), data});
    }
    days.push_back(std::move(day));
}

std::expected<PassPlan, QString> planFromJournal(ImportJournal journal)
{
    PassPlan plan;
    auto first = parseDailyFile(journal.data, journal.source);
    if (!first) return std::unexpected(first.error().text);
    plan.days.push_back(std::move(*first));
    for (const JournalDay &d : journal.later) {
        auto day = parseDailyFile(d.data, d.source);
        if (!day) return std::unexpected(day.error().text);
        plan.days.push_back(std::move(*day));
    }
    plan.journal = std::move(journal);
    return plan;
}

std::expected<std::optional<QByteArray>, QString> readStoredFile(const QString &path)
{
    errno = 0;
    // A FIFO or device in the data folder would hold the import for ever: refused unopened.
    bool notRegular = false;
    std::unique_ptr<std::FILE, FileCloser> f(openRegularFile(path, notRegular));
    if (!f) {
        if (notRegular) return std::unexpected(QStringLiteral("通常のファイルではありません"));
        if (errno == ENOENT) return std::optional<QByteArray>{};
        return std::unexpected(QString::fromLocal8Bit(std::strerror(errno)));
    }
    // Read straight into a buffer of the file's size; a file that grows meanwhile goes on below.
    QByteArray bytes;
    struct stat sb {};
    if (::fstat(::fileno(f.get()), &sb) == 0 && sb.st_size > 0 && sb.st_size <= kMaxPriceFile) {
        bytes.resize(qsizetype(sb.st_size));
        bytes.resize(qsizetype(std::fread(bytes.data(), 1, size_t(bytes.size()), f.get())));
    }
    char buf[65536];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) {
        bytes.append(buf, qsizetype(n));
        if (bytes.size() > kMaxPriceFile) return std::unexpected(QStringLiteral("大きすぎます"));
    }
    if (std::ferror(f.get())) return std::unexpected(QString::fromLocal8Bit(std::strerror(errno)));
    return std::optional<QByteArray>(std::move(bytes));
}

bool applyDayLine(std::optional<QByteArray> &file, const DailyFile &day, const DailyLine &line, bool isNew,
                  const std::vector<int32_t> &calendar, QString &error, std::optional<RolledFile> *rolled)
{
    if (isNew || !file || file->isEmpty()) {
        file = newPriceFile(day.D, line);
        return true;
    }
    auto up = rollUpPriceFile(*file, day, line, calendar);
    if (!up) {
        error = up.error();
        return false;
    }
    if (up->alreadyHeld) return true;
    if (rolled) *rolled = RolledFile::from(*up);
    *file = std::move(up->bytes);
    return true;
}

std::vector<int32_t> calendarOfFile(const QByteArray &bytes)
{
    std::vector<int32_t> out;
    const char *p = bytes.constData(), *end = p + bytes.size();
    auto nextLine = [&](const char *&b, const char *&e) {
        if (p >= end) return false;
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        b = p;
        e = nl ? nl : end;
        if (e > b && e[-1] == '\r') --e;
        p = nl ? nl + 1 : end;
        return true;
    };
    const char *b = nullptr, *e = nullptr;
    if (!nextLine(b, e)) return out;
    const auto counts = parseHeaderLine(b, e);
    if (!counts) return out;
    const int m = std::min((*counts)[0], kSectionLines);
    for (int k = 1; k <= m && nextLine(b, e); ++k) {
        const auto bar = parseBarLine(b, e);
        if (!bar) break;
        out.push_back(bar->date);
    }
    return out;
}

bool runPass(State &st, Services &sv, const PassPlan &plan, bool fresh, BatchFileOps &ops)
{
    if (plan.days.empty()) return true;
    Pass pass(st, sv, plan, ops);
    return pass.run(fresh);
}

} // namespace velor
