#include "realtime/MinuteBars.h"

#include "common/Dialogs.h"
#include "common/NumText.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/Services.h"
#include "db/State.h"
#include "lists/WatchLists.h"
#include "lists/WorkingSet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace velor {

namespace {

constexpr int kMaxMinuteCodes = 4400;
constexpr qint64 kMaxMinuteFileBytes = qint64(64) << 20;

// Files written on Windows may differ in letter case from the names the program asks for.
QString caseless(const QString &folder, const QString &name)
{
    const QString exact = pathIn(folder, name);
    if (QFileInfo::exists(exact)) return exact;
    const QStringList hits = QDir(folder).entryList({name}, QDir::AllEntries | QDir::NoDotAndDotDot);
    return hits.isEmpty() ? exact : pathIn(folder, hits.first());
}

// The print form of a double: all of its digits, blank before a non-negative value, blank after.
QString volumeForm(double v)
{
    QString body = doubleText(v);
    if (body.startsWith(QLatin1String("0."))) body.remove(0, 1);
    else if (body.startsWith(QLatin1String("-0."))) body.remove(1, 1);
    return (v >= 0 ? QStringLiteral(" ") : QString()) + body + QStringLiteral(" ");
}

bool parseRecord(const QByteArray &line, MinuteRecord &r)
{
    const QList<QByteArray> fields = line.split(',');
    if (fields.size() != 6) return false;
    double v[6];
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        v[i] = fields[i].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v[i])) return false;
    }
    if (v[0] < 1 || v[0] > 12312359 || v[0] != std::floor(v[0])) return false;
    r.stamp = int32_t(v[0]);
    r.open = float(v[1]);
    r.high = float(v[2]);
    r.low = float(v[3]);
    r.close = float(v[4]);
    r.volume = v[5];
    return true;
}

QString cannotWrite(const QString &path) { return cannotWriteText(QDir::toNativeSeparators(path)); }

// A line without its line end that is still a whole record: six numbers, the last one closed by
// the blank of its print form (or the line's CR). A record cut short inside its last number
// would read as a wrong volume, so it is not whole.
bool wholeRecord(QByteArray line, MinuteRecord &r)
{
    const bool hadCr = line.endsWith('\r');
    if (hadCr) line.chop(1);
    if (!hadCr && !(line.endsWith(' ') || line.endsWith('\t'))) return false;
    return parseRecord(line, r);
}

// Where the file's last line starts: just after its last LF, 0 when it has none.
qint64 lastLineStart(QFile &f, qint64 size)
{
    for (qint64 end = size; end > 0;) {
        const qint64 from = std::max<qint64>(0, end - 4096);
        if (!f.seek(from)) return 0;
        const QByteArray chunk = f.read(end - from);
        const qsizetype lf = chunk.lastIndexOf('\n');
        if (lf >= 0) return from + lf + 1;
        end = from;
    }
    return 0;
}

} // namespace

QString minuteFolder(const State &st) { return caseless(st.ProgramDir, QStringLiteral("FUNASHI")); }
QString minuteListPath(const State &st) { return caseless(minuteFolder(st), QStringLiteral("Fmeigara.dat")); }
QString minuteFilePath(const State &st, int code)
{
    return caseless(minuteFolder(st), codeText(code) + QStringLiteral(".csv"));
}

int32_t minuteStamp(const QDateTime &t)
{
    const QDate d = t.date();
    const QTime tm = t.time();
    return d.month() * 1000000 + d.day() * 10000 + tm.hour() * 100 + tm.minute();
}

QByteArray minuteRecordLine(const MinuteRecord &r)
{
    const QString line = printForm((long long)r.stamp) + ',' + printForm(double(r.open)) + ',' +
                         printForm(double(r.high)) + ',' + printForm(double(r.low)) + ',' +
                         printForm(double(r.close)) + ',' + volumeForm(r.volume);
    return line.toLatin1() + "\r\n";
}

std::expected<std::vector<MinuteRecord>, QString> readMinuteFile(const QString &path, size_t max)
{
    std::vector<MinuteRecord> out;
    if (auto r = refuseNonRegular(path); !r) return std::unexpected(r.error());
    QFile f(path);
    if (max == 0 || !f.open(QIODevice::ReadOnly)) return out;
    // Other readers of text files drop a byte-order mark an editor put in; so does this one.
    const QByteArray bytes = withoutByteOrderMark(f.read(kMaxMinuteFileBytes));
    qsizetype start = 0;
    while (start < bytes.size() && out.size() < max) {
        qsizetype end = bytes.indexOf('\n', start);
        const bool ended = end >= 0;
        if (!ended) end = bytes.size();
        const QByteArray line = bytes.mid(start, end - start);
        MinuteRecord r;
        // A last line without its end is a record only when it is whole (see wholeRecord).
        if (ended ? parseRecord(line, r) : wholeRecord(line, r)) out.push_back(r);
        start = end + 1;
    }
    return out;
}

std::vector<MinuteRecord> readMinuteRecords(const QString &path, size_t max)
{
    return readMinuteFile(path, max).value_or(std::vector<MinuteRecord>{});
}

std::expected<void, QString> appendMinuteRecord(const QString &path, const MinuteRecord &r)
{
    if (auto n = refuseNonRegular(path); !n) return std::unexpected(n.error());
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool existed = QFileInfo::exists(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite)) return std::unexpected(cannotWrite(path));
    qint64 size = f.size();
    QByteArray lead;   // what ends a last line left without its end
    const qint64 lineStart = size > 0 ? lastLineStart(f, size) : 0;
    if (lineStart < size) {
        // A whole record that only lacks its line end (a hand-edited file) is kept and ended; a
        // line cut short by an interrupted append is no record, and the new one must not be
        // glued onto it, so it is cut off, however long it is.
        QByteArray last;
        if (f.seek(lineStart)) last = f.read(size - lineStart);
        MinuteRecord kept;
        if (wholeRecord(lineStart == 0 ? withoutByteOrderMark(last) : last, kept)) {
            lead = last.endsWith('\r') ? QByteArray("\n") : QByteArray("\r\n");
        } else {
            size = lineStart;
            if (!f.resize(size)) return std::unexpected(cannotWrite(path));
        }
    }
    const QByteArray bytes = lead + minuteRecordLine(r);
    const bool ok = f.seek(size) && writeFully(f, bytes) && f.size() == size + bytes.size();
    if (!ok) {
        const QString why = cannotWrite(path);
        f.resize(size);   // never leave part of a line behind
        f.close();
        if (!existed) QFile::remove(path);   // nor an empty file that was not there before
        return std::unexpected(why);
    }
    return {};
}

bool minuteRecorded(const std::vector<MinuteRecord> &records, int32_t now)
{
    // Only this very minute counts: a later stamp (a clock set back, a hand-edited 23:59) is no
    // reason to stop collecting for the rest of the day.
    return std::any_of(records.begin(), records.end(), [now](const MinuteRecord &r) { return r.stamp == now; });
}

std::expected<std::vector<int>, QString> MakeMinuteList(const State &st)
{
    std::vector<int> codes;
    std::vector<long long> written;
    std::vector<bool> seen(size_t(kCodeSpace), false);
    seen[0] = true;   // 0 (a text line of a list) is never a code to collect
    for (int n = 1; n <= 3; ++n) {
        const QString path = watchListPath(st, n);
        if (!FileExist(path)) continue;
        auto numbers = readListNumbers(path);
        if (!numbers) return std::unexpected(numbers.error());
        for (long long v : *numbers) {
            const int code = listCode(v);
            if (code == 0 || seen[size_t(code)] || int(codes.size()) >= kMaxMinuteCodes) continue;
            seen[size_t(code)] = true;
            codes.push_back(code);
            written.push_back(v);
        }
    }
    QDir().mkpath(minuteFolder(st));
    if (auto r = saveBytes(minuteListPath(st), watchListBytes(written)); !r) return std::unexpected(r.error());
    return codes;
}

std::expected<std::vector<int>, QString> readMinuteList(const State &st)
{
    auto numbers = readListNumbers(minuteListPath(st));
    if (!numbers) return std::unexpected(numbers.error());
    std::vector<int> codes;
    for (long long v : *numbers)
        if (const int code = listCode(v)) codes.push_back(code);
    return codes;
}

void ReadMinuteBars(State &st, Services &sv, int n)
{
    const int16_t savedMode = st.QuoteMode;
    st.QuoteMode = 1;
    const int room = std::clamp(n, 0, int(st.BarDate.size()) - 2);
    auto read = readMinuteFile(minuteFilePath(st, st.CurCode), size_t(room));
    if (!read) sv.dialogs.message(read.error(), Icon::Warning);
    const std::vector<MinuteRecord> records = read.value_or(std::vector<MinuteRecord>{});
    for (size_t k = 0; k < records.size(); ++k) {
        const MinuteRecord &r = records[k];
        st.BarDate[k + 1] = r.stamp;
        st.BarOpen[k + 1] = r.open;
        st.BarHigh[k + 1] = r.high;
        st.BarLow[k + 1] = r.low;
        st.BarClose[k + 1] = r.close;
        st.BarVolume[k + 1] = r.volume;
    }
    st.BarCount = int16_t(records.size());
    if (sv.liveQuote) sv.liveQuote->getVec(st);
    st.QuoteMode = savedMode;
}

MinuteTick collectMinuteBars(State &st, Services &sv)
{
    MinuteTick tick;
    st.LastCode = st.CurCode;
    auto codes = FileExist(minuteListPath(st)) ? readMinuteList(st) : MakeMinuteList(st);
    if (!codes) {
        tick.error = codes.error();
        return tick;
    }
    // Every stock reads its page, whatever the display did with QuoteMode meanwhile.
    const int16_t savedMode = st.QuoteMode;
    st.QuoteMode = 1;
    const size_t limit = std::min(codes->size(), size_t(std::max<int>(st.StockCount, 0)));
    for (size_t k = 0; k < limit; ++k) {
        const int code = (*codes)[k];
        st.CurCode = code;
        const int32_t now = minuteStamp(sv.clock.now());
        const QString path = minuteFilePath(st, code);
        auto stored = readMinuteFile(path);
        if (!stored) {
            ++tick.failed;
            if (tick.error.isEmpty()) tick.error = stored.error();
            continue;
        }
        if (minuteRecorded(*stored, now)) {
            ++tick.skipped;
            continue;
        }
        // A reader that declines (busy with another page) must not leave the last stock's bar here.
        st.BarOpen[0] = st.BarClose[0] = 0;
        ++tick.asked;
        if (sv.liveQuote) sv.liveQuote->getVec(st);
        if (st.BarClose[0] > 0) tick.prices.push_back({code, st.BarClose[0]});
        if (st.BarOpen[0] == 0 || st.BarClose[0] == 0) {
            ++tick.empty;
            continue;
        }
        const MinuteRecord r{now, st.BarOpen[0], st.BarHigh[0], st.BarLow[0], st.BarClose[0], st.BarVolume[0]};
        if (auto w = appendMinuteRecord(path, r); !w) {
            ++tick.failed;
            if (tick.error.isEmpty()) tick.error = w.error();
            continue;
        }
        ++tick.written;
    }
    st.QuoteMode = savedMode;
    st.CurCode = st.LastCode;
    return tick;
}

} // namespace velor
