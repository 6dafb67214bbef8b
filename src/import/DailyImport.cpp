#include "import/DailyImport.h"

#include "common/Clock.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/Bars.h"
#include "db/Services.h"
#include "db/State.h"
#include "db/StockMaster.h"
#include "import/DailyFile.h"
#include "import/ImportJournal.h"
#include "import/ImportPass.h"
#include "import/PendingLines.h"
#include "import/LzhExtract.h"
#include "import/MasterChanges.h"
#include "import/RollUp.h"

#include <QDir>
#include <QFile>
#include <algorithm>

namespace velor {

namespace {

constexpr int kMaxFiles = 100;
const QString CRLF = QStringLiteral("\r\n");

// Why planning ended the run: shown once the days before it are written.
struct Stop {
    QString text;
    Icon icon = Icon::Error;
};

class ImportRun {
public:
    ImportRun(State &st, Services &sv, const QString &inbox, BatchFileOps &ops)
        : m_st(st), m_sv(sv), m_inbox(inbox), m_ops(ops)
    {
    }
    /// Completes a pass an interrupted run left; false when that failed.
    bool resume();
    /// Imports the listed inbox files in one pass; false when the run ended on an error.
    bool files(const QStringList &names, int savedCode);
    bool resumedSomething() const { return !m_resumedDays.empty(); }
    const std::vector<int32_t> &resumedDays() const { return m_resumedDays; }
    /// The inbox files of the days resumed.
    const QStringList &resumedInbox() const { return m_resumedInbox; }

private:
    std::expected<QByteArray, Stop> readDailyBytes(const QString &name, QString &readPath);
    /// Adds the file's day to the pass, or deals with the file without one.
    std::optional<Stop> planFile(const QString &name);
    std::vector<int32_t> currentCalendar();
    void advanceCalendar(const DailyFile &day, const MasterChanges &ch);
    bool commit(int savedCode);
    bool fail(const QString &text, Icon icon = Icon::Error)
    {
        m_sv.dialogs.report(text, icon, true);
        return false;
    }
    void afterFile();

    State &m_st;
    Services &m_sv;
    QString m_inbox;
    BatchFileOps &m_ops;
    std::vector<int32_t> m_resumedDays;
    QStringList m_resumedInbox;
    // The pass being planned.
    PassPlan m_plan;
    std::optional<MasterImage> m_master;         ///< the master after the planned days
    std::optional<QByteArray> m_calendarFile;    ///< 1001 after the planned days, once they change it
    bool m_calendarChanged = false;
    QStringList m_handled;                       ///< inbox files done with once the pass is written
};

bool ImportRun::resume()
{
    const QString path = journalPath(m_st.DataDir);
    auto j = readJournal(path);
    if (!j) return fail(j.error());
    if (!j->has_value()) return true;
    auto plan = planFromJournal(std::move(**j));
    if (!plan) return fail(plan.error());
    m_resumedInbox << plan->journal.inbox;
    for (const JournalDay &d : plan->journal.later) m_resumedInbox << d.inbox;
    for (const DailyFile &d : plan->days) {
        m_sv.shell.prependMessage(QStringLiteral("前回中断した ") + LngStr(d.D) + QStringLiteral(" のデータの追加を続けます") + CRLF);
        m_resumedDays.push_back(d.D);
    }
    if (!runPass(m_st, m_sv, *plan, false, m_ops)) return false;
    afterFile();
    return true;
}

bool ImportRun::files(const QStringList &names, int savedCode)
{
    for (const QString &name : names) {
        if (!m_master) {
            if (auto r = MEIGARAIN(m_st); !r) return commit(savedCode) && fail(r.error());
        }
        const int count = m_master ? int(m_master->entries.size()) : m_st.StockCount;
        std::optional<Stop> stop;
        if (count >= m_st.MaxStocks) stop = Stop{QStringLiteral("これ以上データを追加出来ません。")};
        else stop = planFile(name);
        if (stop) {
            // The days before the one that ended the run keep their update.
            if (!commit(savedCode)) return false;
            return fail(stop->text, stop->icon);
        }
    }
    return commit(savedCode);
}

// The bytes of an inbox file; an archive is unpacked first (only its own CSV, which is
// deleted again once read).
std::expected<QByteArray, Stop> ImportRun::readDailyBytes(const QString &name, QString &readPath)
{
    const QString path = pathIn(withTrailingSeparator(m_inbox), name);
    readPath = path;
    if (auto r = refuseNonRegular(path); !r) return std::unexpected(Stop{r.error()});   // a FIFO would wait for ever
    if (!name.endsWith(QLatin1String(".lzh"), Qt::CaseInsensitive)) {
        auto b = readBytes(path, qint64(64) << 20);
        if (!b) return std::unexpected(Stop{b.error()});
        return *b;
    }
    const QString base = name.chopped(4).right(7).toLower();
    readPath = pathIn(m_st.ProgramDir, base + QStringLiteral(".csv"));
    QString why;
    if (ExtractLzh(path, base + QStringLiteral(".csv"), readPath, m_sv.dialogs, &why) != 0)
        return std::unexpected(Stop{path + QStringLiteral("の解凍に失敗しました。") + (why.isEmpty() ? QString() : CRLF + CRLF + why)});
    if (!FileExist(readPath))
        return std::unexpected(Stop{QStringLiteral("書庫： ") + path + QStringLiteral(" に ") + base +
                                    QStringLiteral(".csv がありません。読み込みを中止します。")});
    auto b = readBytes(readPath, kMaxLzhMember);
    // A copy that cannot be removed is named, so that it is not left there unseen.
    if (!m_ops.remove(readPath))
        m_sv.dialogs.message(QStringLiteral("展開したファイル：　") + readPath + QStringLiteral(" を削除できませんでした。"), Icon::Warning);
    if (!b) return std::unexpected(Stop{b.error()});
    return *b;
}

// 1001's dates as a run that had already written the planned days would load them.
std::vector<int32_t> ImportRun::currentCalendar()
{
    if (m_calendarChanged) return m_calendarFile ? calendarOfFile(*m_calendarFile) : std::vector<int32_t>{};
    m_st.CurCode = 1001;
    KDOPN(m_st, m_sv, 300);
    const int calDays = std::clamp<int>(m_st.BarCount, 0, 300);   // the 300 bars just loaded, no more
    return std::vector<int32_t>(m_st.BarDate.begin() + 1, m_st.BarDate.begin() + 1 + calDays);
}

// Applies the day's 1001 lines to the calendar file held in memory.
void ImportRun::advanceCalendar(const DailyFile &day, const MasterChanges &ch)
{
    const std::vector<int32_t> cal = m_plan.calendar(m_plan.dayCount() - 1);
    for (size_t i = 0; i < day.lines.size(); ++i) {
        if (day.lines[i].code != 1001) continue;
        if (!m_calendarChanged) {
            auto stored = readStoredFile(m_st.priceFilePath(1001));
            if (!stored) return;   // left unread: the pass reports it
            m_calendarFile = *stored;
        }
        QString error;
        if (applyDayLine(m_calendarFile, day, day.lines[i], ch.isNew[i], cal, error)) m_calendarChanged = true;
    }
}

std::optional<Stop> ImportRun::planFile(const QString &name)
{
    QString readPath;
    auto bytes = readDailyBytes(name, readPath);
    if (!bytes) return bytes.error();
    m_st.CurPeriod = 0;
    const QDate today = m_sv.clock.now().date();
    auto day = parseDailyFile(*bytes, readPath, today.year() * 10000 + today.month() * 100 + today.day());
    if (!day) {
        if (day.error().kind != DailyFileError::Empty) return Stop{day.error().text};
        m_sv.dialogs.report(day.error().text, Icon::Error, false);   // skipped; the next file goes on
        m_handled << name;
        return std::nullopt;
    }
    std::vector<int32_t> cal = currentCalendar();
    if (!cal.empty() && day->D <= cal.front()) {
        if (std::find(m_resumedDays.begin(), m_resumedDays.end(), day->D) != m_resumedDays.end()) {
            m_handled << name;   // completed from the journal
            return std::nullopt;
        }
        if (std::find(cal.begin(), cal.end(), day->D) != cal.end()) {
            m_sv.dialogs.message(QStringLiteral("日： ") + LngStr(day->D) +
                                     QStringLiteral(" のデータは既に格納されています。読み込みを中止します。"),
                                 Icon::Warning);
            m_handled << name;
            return std::nullopt;
        }
        return Stop{QStringLiteral("虫食いデータの追加機能はなくなりました"), Icon::Warning};
    }
    if (!m_master) {
        auto master = readBytes(m_st.MasterPath, 14 * 40000);
        if (!master) return Stop{master.error()};
        auto image = parseMaster(*master, m_st.MasterPath);
        if (!image) return Stop{image.error()};
        m_plan.journal.master = *master;
        m_plan.journal.logSize = fileSize(m_st.LogPath);
        m_master = std::move(*image);
    }
    MasterChanges ch = masterChanges(*m_master, *day);
    if (int(ch.entries.size()) > m_st.MaxStocks) return Stop{QStringLiteral("これ以上データを追加出来ません。")};
    m_master->entries = ch.entries;
    m_plan.add(std::move(*day), readPath, name, *bytes, std::move(cal));
    advanceCalendar(m_plan.days.back(), ch);
    m_handled << name;
    return std::nullopt;
}

// Writes the planned pass, then removes the inbox files it dealt with.
bool ImportRun::commit(int savedCode)
{
    const bool ok = runPass(m_st, m_sv, m_plan, true, m_ops);
    if (!ok) return false;
    for (const QString &name : m_handled) QFile::remove(pathIn(withTrailingSeparator(m_inbox), name));
    // One refresh for the whole pass: after each of its files the state would be the same.
    if (!m_handled.isEmpty()) {
        afterFile();
        m_st.CurCode = savedCode;
        m_sv.shell.redrawChart(1);
    }
    m_plan = PassPlan{};
    m_master.reset();
    m_calendarFile.reset();
    m_calendarChanged = false;
    m_handled.clear();
    return true;
}

void ImportRun::afterFile()
{
    (void)MEIGARAIN(m_st);
    refreshLastTradeDate(m_st, m_sv);
    m_sv.shell.loadWorkSet(-m_st.WorkKind);
}

QStringList inboxFiles(const QString &inbox)
{
    QStringList names = QDir(inbox).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

void refreshLastTradeDate(State &st, Services &sv)
{
    if (st.CurPeriod < 0 || st.CurPeriod > 2) return;
    KDOPN(st, sv, 2);
    if (st.BarCount > 0) st.LastTradeDate = st.BarDate[1];
}

bool SHUDOU(State &st, Services &sv) { return runImport(st, sv, realBatchFileOps()); }

std::optional<std::vector<int32_t>> finishInterruptedImport(State &st, Services &sv)
{
    if (!QFile::exists(journalPath(st.DataDir))) return std::vector<int32_t>{};
    BatchWriter::removeLeftovers(st.DataDir, realBatchFileOps());
    ImportRun run(st, sv, st.DataDir + QStringLiteral("tmp"), realBatchFileOps());
    st.ImportRunning = true;
    const bool ok = run.resume();
    st.ImportRunning = false;
    if (!ok) return std::nullopt;
    // Their inbox files are done with, as after any import.
    for (const QString &name : run.resumedInbox())
        if (!name.isEmpty()) QFile::remove(pathIn(st.DataDir + QStringLiteral("tmp/"), name));
    return run.resumedDays();
}

bool runImport(State &st, Services &sv, BatchFileOps &ops)
{
    const int savedCode = st.CurCode;
    const int16_t savedPeriod = st.CurPeriod;
    const QString inbox = st.DataDir + QStringLiteral("tmp");
    if (!FolderExist(inbox)) {
        sv.dialogs.message(QStringLiteral("指定されたフォルダー：　") + inbox + CRLF + CRLF + QStringLiteral("が存在しません。"),
                           Icon::Error, QStringLiteral("Sub ShowFileList"));
        return false;
    }
    if (st.DownloadState != -1) sv.shell.clearMessages();
    sv.shell.showProgress(true);
    st.ImportRunning = true;
    BatchWriter::removeLeftovers(st.DataDir, ops);
    ImportRun run(st, sv, inbox, ops);
    bool ok = run.resume();
    // Lines an earlier run had to keep waiting go in first, so that newer days follow them.
    const bool hadPending = QFileInfo::exists(pendingPath(st.DataDir));
    if (ok) ok = applyPending(st, sv);
    const QStringList names = inboxFiles(inbox);
    if (ok && names.size() > kMaxFiles) {
        sv.dialogs.report(QStringLiteral("1回の追加データ数が制限値（") + QString::number(kMaxFiles) + QStringLiteral("）を超えました。") +
                               CRLF + CRLF + QStringLiteral("全てのデータを追加出来ません。") + CRLF +
                               QStringLiteral("データ追加終了後再度実行して下さい。"),
                           Icon::Warning, true);
        ok = false;
    } else if (ok && names.isEmpty() && !run.resumedSomething() && !hadPending) {
        sv.dialogs.message(QStringLiteral("データがありません！"), Icon::Warning);
        ok = false;
    }
    if (ok) ok = run.files(names, savedCode);
    sv.shell.showProgress(false);
    st.CurPeriod = savedPeriod;
    st.CurCode = savedCode;
    st.ImportRunning = false;
    if (!ok) return false;
    (void)MEIGARAIN(st);
    refreshLastTradeDate(st, sv);
    sv.shell.loadWorkSet(-st.WorkKind);
    st.DownloadState = 1;
    PlayDone(sv.sound, st.DoneSound, pathIn(st.ProgramDir, QStringLiteral("DONE.wav")));
    sv.dialogs.message(QStringLiteral("データの追加が終わりました"), Icon::None);
    sv.shell.redrawChart(1);
    return true;
}

} // namespace velor
