#include "import/DailyImport.h"

#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/Bars.h"
#include "db/Services.h"
#include "db/State.h"
#include "db/StockMaster.h"
#include "import/DailyFile.h"
#include "import/ImportJournal.h"
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

enum class Step { Next, Stop };

class ImportRun {
public:
    ImportRun(State &st, Services &sv, const QString &inbox) : m_st(st), m_sv(sv), m_inbox(inbox) {}
    /// Completes a day an interrupted run left; false when that failed.
    bool resume();
    /// Imports the listed inbox files; false when the run ended on an error.
    bool files(const QStringList &names, int16_t savedCode);
    bool resumedSomething() const { return m_resumedDay != 0; }

private:
    Step applyFile(const QString &name);
    std::expected<QByteArray, Step> readDailyBytes(const QString &name, QString &readPath);
    Step applyDay(const ImportJournal &j, const DailyFile &day, bool fresh);
    Step updateStock(const DailyFile &day, const DailyLine &line, bool isNew, const std::vector<int32_t> &cal,
                     LogAppender &log);
    Step fail(const QString &text, Icon icon = Icon::Error)
    {
        m_sv.dialogs.message(text, icon);
        return Step::Stop;
    }
    void afterFile();

    State &m_st;
    Services &m_sv;
    QString m_inbox;
    int32_t m_resumedDay = 0;
};

bool ImportRun::resume()
{
    const QString path = journalPath(m_st.DataDir);
    auto j = readJournal(path);
    if (!j) return fail(j.error()), false;
    if (!j->has_value()) return true;
    const ImportJournal &jr = **j;
    auto day = parseDailyFile(jr.data, jr.source);
    if (!day) return fail(day.error().text), false;
    m_sv.shell.prependMessage(QStringLiteral("前回中断した ") + LngStr(jr.day) + QStringLiteral(" のデータの追加を続けます") + CRLF);
    m_resumedDay = jr.day;
    if (applyDay(jr, *day, false) == Step::Stop) return false;
    afterFile();
    return true;
}

bool ImportRun::files(const QStringList &names, int16_t savedCode)
{
    for (const QString &name : names) {
        if (m_st.StockCount >= m_st.MaxStocks) return fail(QStringLiteral("これ以上データを追加出来ません。")), false;
        if (auto r = MEIGARAIN(m_st); !r) return fail(r.error()), false;
        if (applyFile(name) == Step::Stop) return false;
        m_st.CurCode = savedCode;
        m_sv.shell.redrawChart(1);
    }
    return true;
}

// The bytes of an inbox file; an archive is unpacked first (only its own CSV, which is
// deleted again once read).
std::expected<QByteArray, Step> ImportRun::readDailyBytes(const QString &name, QString &readPath)
{
    const QString path = pathIn(withTrailingSeparator(m_inbox), name);
    readPath = path;
    if (!name.endsWith(QLatin1String(".lzh"), Qt::CaseInsensitive)) {
        auto b = readBytes(path, qint64(64) << 20);
        if (!b) return std::unexpected(fail(b.error()));
        return *b;
    }
    const QString base = name.chopped(4).right(7).toLower();
    readPath = pathIn(m_st.ProgramDir, base + QStringLiteral(".csv"));
    QString why;
    if (ExtractLzh(path, base + QStringLiteral(".csv"), readPath, m_sv.dialogs, &why) != 0)
        return std::unexpected(fail(path + QStringLiteral("の解凍に失敗しました。") + (why.isEmpty() ? QString() : CRLF + CRLF + why)));
    if (!FileExist(readPath))
        return std::unexpected(fail(QStringLiteral("書庫： ") + path + QStringLiteral(" に ") + base +
                                    QStringLiteral(".csv がありません。読み込みを中止します。")));
    auto b = readBytes(readPath, kMaxLzhMember);
    QFile::remove(readPath);
    if (!b) return std::unexpected(fail(b.error()));
    return *b;
}

Step ImportRun::applyFile(const QString &name)
{
    QString readPath;
    auto bytes = readDailyBytes(name, readPath);
    if (!bytes) return bytes.error();
    m_st.CurPeriod = 0;
    auto day = parseDailyFile(*bytes, readPath);
    if (!day) {
        if (day.error().kind != DailyFileError::Empty) return fail(day.error().text);
        m_sv.dialogs.message(day.error().text, Icon::Error);
        afterFile();
        return Step::Next;
    }
    m_st.CurCode = 1001;
    KDOPN(m_st, m_sv, 300);
    const int calDays = std::clamp<int>(m_st.BarCount, 0, 300);   // the 300 bars just loaded, no more
    std::vector<int32_t> cal(m_st.BarDate.begin() + 1, m_st.BarDate.begin() + 1 + calDays);
    if (!cal.empty() && day->D <= cal.front()) {
        if (day->D == m_resumedDay) return afterFile(), Step::Next;   // completed from the journal
        if (std::find(cal.begin(), cal.end(), day->D) != cal.end()) {
            m_sv.dialogs.message(QStringLiteral("日： ") + LngStr(day->D) +
                                     QStringLiteral(" のデータは既に格納されています。読み込みを中止します。"),
                                 Icon::Warning);
            afterFile();
            return Step::Next;
        }
        return fail(QStringLiteral("虫食いデータの追加機能はなくなりました"), Icon::Warning);
    }
    ImportJournal j;
    j.day = day->D;
    j.source = readPath;
    j.logSize = fileSize(m_st.LogPath);
    j.calendar = cal;
    auto master = readBytes(m_st.MasterPath, 14 * 40000);
    if (!master) return fail(master.error());
    j.master = *master;
    j.data = *bytes;
    if (applyDay(j, *day, true) == Step::Stop) return Step::Stop;
    afterFile();
    return Step::Next;
}

void ImportRun::afterFile()
{
    (void)MEIGARAIN(m_st);
    refreshLastTradeDate(m_st, m_sv);
    m_sv.shell.loadWorkSet(-m_st.WorkKind);
}

Step ImportRun::applyDay(const ImportJournal &j, const DailyFile &day, bool fresh)
{
    auto before = parseMaster(j.master, m_st.MasterPath);
    if (!before) return fail(before.error());
    const MasterChanges ch = masterChanges(*before, day);
    if (int(ch.entries.size()) > m_st.MaxStocks) return fail(QStringLiteral("これ以上データを追加出来ません。"));
    const QString jpath = journalPath(m_st.DataDir);
    if (fresh)
        if (auto r = writeJournal(jpath, j); !r) return fail(r.error());
    m_sv.shell.prependMessage(LngStr(day.D) + QStringLiteral(" のデータを追加しています") + CRLF);
    m_sv.shell.keepAlive();
    LogAppender log(m_st.LogPath, j.logSize);
    for (const QString &l : ch.logLines)
        if (auto r = log.append(l); !r) return fail(r.error());
    for (const QString &m : ch.messageLines) m_sv.shell.prependMessage(m);
    if (ch.changed) {
        if (auto r = writeMaster(m_st.MasterPath, before->header, ch.entries); !r) return fail(r.error());
        if (auto r = MEIGARAIN(m_st); !r) return fail(r.error());
    }
    const int total = m_st.StockCount;
    for (size_t k = 0; k < day.lines.size(); ++k) {
        m_sv.shell.setProgress(std::min(int(k) + 1, total), total);
        if (k % 64 == 0) m_sv.shell.keepAlive();
        if (updateStock(day, day.lines[k], ch.isNew[k], j.calendar, log) == Step::Stop) return Step::Stop;
    }
    if (auto r = removeJournal(jpath); !r) return fail(r.error());
    return Step::Next;
}

Step ImportRun::updateStock(const DailyFile &day, const DailyLine &line, bool isNew, const std::vector<int32_t> &cal,
                            LogAppender &log)
{
    const QString path = m_st.priceFilePath(line.code);
    QByteArray text;
    QFile f(path);
    const bool exists = f.exists();
    if (isNew || !exists || f.size() == 0) {
        text = newPriceFile(day.D, line);
    } else {
        auto old = readBytes(path, qint64(64) << 20);
        std::expected<RollUpResult, QString> up = old ? rollUpPriceFile(*old, day, line, cal)
                                                      : std::expected<RollUpResult, QString>(std::unexpected(old.error()));
        if (up && up->alreadyHeld) return Step::Next;
        if (!up) {
            const QString msg = QStringLiteral("銘柄： ") + NumStr(line.code) + QStringLiteral(" の株価ファイル ") + path +
                                QStringLiteral(" が読めないため（") + up.error() + QStringLiteral("）、") + LngStr(day.D) +
                                QStringLiteral(" のデータを追加しませんでした。");
            m_sv.shell.prependMessage(msg + CRLF);
            if (auto r = log.append(LngStr(day.D) + QStringLiteral("：　") + msg); !r) return fail(r.error());
            return Step::Next;
        }
        text = std::move(up->bytes);
    }
    if (auto r = saveBytes(path, text); !r) return fail(r.error());
    return Step::Next;
}

QStringList inboxFiles(const QString &inbox)
{
    QStringList names = QDir(inbox).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    std::sort(names.begin(), names.end());
    return names;
}

void emptyInbox(const QString &inbox)
{
    for (const QString &n : inboxFiles(inbox)) QFile::remove(pathIn(withTrailingSeparator(inbox), n));
}

} // namespace

void refreshLastTradeDate(State &st, Services &sv)
{
    if (st.CurPeriod < 0 || st.CurPeriod > 2) return;
    KDOPN(st, sv, 2);
    if (st.BarCount > 0) st.LastTradeDate = st.BarDate[1];
}

bool SHUDOU(State &st, Services &sv)
{
    const int16_t savedCode = st.CurCode, savedPeriod = st.CurPeriod;
    const QString inbox = st.DataDir + QStringLiteral("tmp");
    if (!FolderExist(inbox)) {
        sv.dialogs.message(QStringLiteral("指定されたフォルダー：　") + inbox + CRLF + CRLF + QStringLiteral("が存在しません。"),
                           Icon::Error, QStringLiteral("Sub ShowFileList"));
        return false;
    }
    if (st.DownloadState != -1) sv.shell.clearMessages();
    sv.shell.showProgress(true);
    st.ImportRunning = true;
    ImportRun run(st, sv, inbox);
    bool ok = run.resume();
    const QStringList names = inboxFiles(inbox);
    if (ok && names.size() > kMaxFiles) {
        sv.dialogs.message(QStringLiteral("1回の追加データ数が制限値（") + QString::number(kMaxFiles) + QStringLiteral("）を超えました。") +
                               CRLF + CRLF + QStringLiteral("全てのデータを追加出来ません。") + CRLF +
                               QStringLiteral("データ追加終了後再度実行して下さい。"),
                           Icon::Warning);
        ok = false;
    } else if (ok && names.isEmpty() && !run.resumedSomething()) {
        sv.dialogs.message(QStringLiteral("データがありません！"), Icon::Warning);
        ok = false;
    }
    if (ok) ok = run.files(names, savedCode);
    sv.shell.showProgress(false);
    st.CurPeriod = savedPeriod;
    st.CurCode = savedCode;
    st.ImportRunning = false;
    if (!ok) return false;
    emptyInbox(inbox);
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
