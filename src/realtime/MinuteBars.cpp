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

#if !defined(Q_OS_WIN)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velor {

namespace {

constexpr int kMaxMinuteCodes = 4400;
constexpr qint64 kMaxMinuteFileBytes = qint64(64) << 20;
// No record line the program writes is longer: eight-digit stamp, four prices and a volume in
// their plain digits. A longer line without its end was never one of ours.
constexpr qint64 kLongestRecordLine = 1024;
// Minutes in a year of thirteen 32-day months: more than the ordinal of any stamp.
constexpr int64_t kYearSpan = int64_t(13) * 32 * 24 * 60;
// A stamp up to this far after now (a clock set back) is taken as this year's.
constexpr int64_t kAheadWindow = int64_t(32) * 24 * 60;

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

// Whether an unended last line can be what an interrupted append of ours left: the start of a
// record line (its characters only, and no longer than one).
bool cutRecord(const QByteArray &line)
{
    if (line.size() > kLongestRecordLine) return false;
    return std::all_of(line.begin(), line.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == ' ' || c == '\t' || c == ',' || c == '.' || c == '-' || c == '+' ||
               c == 'E' || c == 'e';
    });
}

QString unendedLineText(const QString &path, qint64 bytes)
{
    return QStringLiteral("ファイル：　") + QDir::toNativeSeparators(path) + QStringLiteral(" の最後の行（") +
           QString::number(bytes) +
           QStringLiteral(" バイト）は行末がなく、分足の記録でもありません。ファイルは書き換えずに残しました。"
                          "内容を確かめて下さい。");
}

// Refuses anything but a regular file at the path itself: a symbolic link would carry the
// append to a file outside the folder, a FIFO or a device would hold the collection.
std::expected<void, QString> refuseNonPlain(const QString &path)
{
#if defined(Q_OS_WIN)
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isFile())) return std::unexpected(notRegularText(path));
#else
    struct stat sb {};
    if (::lstat(QFile::encodeName(path).constData(), &sb) == 0 && !S_ISREG(sb.st_mode))
        return std::unexpected(notRegularText(QDir::toNativeSeparators(path)));
#endif
    return {};
}

// Opens the minute file for reading and writing, creating it; a symbolic link, a FIFO or a
// device put there meanwhile is not followed or waited on.
bool openPlain(QFile &f, const QString &path)
{
#if defined(Q_OS_WIN)
    return f.open(QIODevice::ReadWrite);
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat sb {};
    if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode)) {
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (f.open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) return true;
    ::close(fd);
    return false;
#endif
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
    if (auto r = refuseNonPlain(path); !r) return std::unexpected(r.error());
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
    if (auto n = refuseNonPlain(path); !n) return std::unexpected(n.error());
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool existed = QFileInfo::exists(path);
    QFile f;
    if (!openPlain(f, path)) {
        if (auto n = refuseNonPlain(path); !n) return std::unexpected(n.error());
        return std::unexpected(cannotWrite(path));
    }
    qint64 size = f.size();
    QByteArray lead;   // what ends a last line left without its end
    const qint64 lineStart = size > 0 ? lastLineStart(f, size) : 0;
    if (lineStart < size) {
        // A whole record that only lacks its line end (a hand-edited file) is kept and ended; a
        // line cut short by an interrupted append is no record, and the new one must not be
        // glued onto it, so it is cut off. Anything else is left as it is, and nothing appended.
        QByteArray last;
        if (size - lineStart > kLongestRecordLine) return std::unexpected(unendedLineText(path, size - lineStart));
        if (f.seek(lineStart)) last = f.read(size - lineStart);
        if (lineStart == 0) last = withoutByteOrderMark(last);
        MinuteRecord kept;
        if (wholeRecord(last, kept)) {
            lead = last.endsWith('\r') ? QByteArray("\n") : QByteArray("\r\n");
        } else if (!cutRecord(last)) {
            // Text someone put there is no interrupted append: it is not ours to cut off.
            return std::unexpected(unendedLineText(path, size - lineStart));
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

int64_t minuteMoment(int32_t stamp, int32_t now)
{
    auto ordinal = [](int32_t v) {
        const int64_t month = v / 1000000, day = v / 10000 % 100, hour = v / 100 % 100, minute = v % 100;
        return ((month * 32 + day) * 24 + hour) * 60 + minute;
    };
    const int64_t o = ordinal(stamp);
    return o > ordinal(now) + kAheadWindow ? o - kYearSpan : o;
}

bool minuteRecorded(const std::vector<MinuteRecord> &records, int32_t now)
{
    // A record of this minute or later (a clock set back) is there: one more would be out of order.
    const int64_t at = minuteMoment(now, now);
    return std::any_of(records.begin(), records.end(), [&](const MinuteRecord &r) { return minuteMoment(r.stamp, now) >= at; });
}

void sortMinuteRecords(std::vector<MinuteRecord> &records, int32_t now)
{
    std::stable_sort(records.begin(), records.end(), [now](const MinuteRecord &a, const MinuteRecord &b) {
        return minuteMoment(a.stamp, now) < minuteMoment(b.stamp, now);
    });
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
    auto read = readMinuteFile(minuteFilePath(st, st.CurCode));
    if (!read) sv.dialogs.message(read.error(), Icon::Warning);
    std::vector<MinuteRecord> records = read.value_or(std::vector<MinuteRecord>{});
    // Records written while the clock was set back stand out of order in the file.
    sortMinuteRecords(records, minuteStamp(sv.clock.now()));
    if (records.size() > size_t(room)) records.resize(size_t(room));
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
    auto fail = [&tick](const QString &why) {
        ++tick.failed;
        if (tick.error.isEmpty()) tick.error = why;
    };
    // One tick records one minute, however long its pages take.
    const int32_t now = minuteStamp(sv.clock.now());
    std::vector<int> wanted;
    std::vector<QString> paths;
    const size_t limit = std::min(codes->size(), size_t(std::max<int>(st.StockCount, 0)));
    for (size_t k = 0; k < limit; ++k) {
        const int code = (*codes)[k];
        const QString path = minuteFilePath(st, code);
        auto stored = readMinuteFile(path);
        if (!stored) {
            fail(stored.error());
            continue;
        }
        if (minuteRecorded(*stored, now)) {
            ++tick.skipped;
            continue;
        }
        wanted.push_back(code);
        paths.push_back(path);
    }
    // Every stock reads its page, whatever the display did with QuoteMode meanwhile.
    const int16_t savedMode = st.QuoteMode;
    st.QuoteMode = 1;
    // A reader that declines (busy with another page) must not leave the last stock's bar here.
    st.BarOpen[0] = st.BarClose[0] = 0;
    auto record = [&](size_t k) {
        ++tick.asked;
        const int code = wanted[k];
        const float open = st.BarOpen[0], close = st.BarClose[0];
        const MinuteRecord r{now, open, st.BarHigh[0], st.BarLow[0], close, st.BarVolume[0]};
        st.BarOpen[0] = st.BarClose[0] = 0;
        if (close > 0) tick.prices.push_back({code, close});
        if (open == 0 || close == 0) {
            ++tick.empty;
            return true;
        }
        if (auto w = appendMinuteRecord(paths[k], r); !w) fail(w.error());
        else ++tick.written;
        return true;
    };
    if (sv.liveQuote) {
        sv.liveQuote->getVecs(st, wanted, record);
    } else {
        for (size_t k = 0; k < wanted.size(); ++k) record(k);
    }
    st.QuoteMode = savedMode;
    st.CurCode = st.LastCode;
    return tick;
}

} // namespace velor
