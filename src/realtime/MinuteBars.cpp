#include "realtime/MinuteBars.h"

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

QString cannotWrite(const QString &path)
{
    return QStringLiteral("ファイル：　") + QDir::toNativeSeparators(path) + QStringLiteral(" に書き込めません。");
}

} // namespace

QString minuteFolder(const State &st) { return caseless(st.ProgramDir, QStringLiteral("FUNASHI")); }
QString minuteListPath(const State &st) { return caseless(minuteFolder(st), QStringLiteral("Fmeigara.dat")); }
QString minuteFilePath(const State &st, int code)
{
    return caseless(minuteFolder(st), NumStr(int16_t(code)) + QStringLiteral(".csv"));
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

std::vector<MinuteRecord> readMinuteRecords(const QString &path, size_t max)
{
    std::vector<MinuteRecord> out;
    QFile f(path);
    if (max == 0 || !f.open(QIODevice::ReadOnly)) return out;
    const QByteArray bytes = f.read(kMaxMinuteFileBytes);
    qsizetype start = 0;
    while (start < bytes.size() && out.size() < max) {
        const qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) break;   // no line end: a record cut short by an interrupted write
        MinuteRecord r;
        if (parseRecord(bytes.mid(start, end - start), r)) out.push_back(r);
        start = end + 1;
    }
    return out;
}

std::expected<void, QString> appendMinuteRecord(const QString &path, const MinuteRecord &r)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite)) return std::unexpected(cannotWrite(path));
    qint64 size = f.size();
    if (size > 0) {
        // An interrupted append can leave a line without its end; it is no record (the reader
        // skips it), and the new record must not be glued onto it, so it is cut off first.
        const qint64 tailFrom = std::max<qint64>(0, size - 4096);
        f.seek(tailFrom);
        const QByteArray tail = f.read(size - tailFrom);
        if (!tail.endsWith('\n')) {
            const qsizetype lf = tail.lastIndexOf('\n');
            if (lf >= 0 || tailFrom == 0) {
                size = tailFrom + lf + 1;
                if (!f.resize(size)) return std::unexpected(cannotWrite(path));
            }
        }
    }
    const QByteArray line = minuteRecordLine(r);
    const bool ok = f.seek(size) && f.write(line) == line.size() && f.flush() && f.size() == size + line.size();
    if (!ok) {
        f.resize(size);   // never leave part of a line behind
        return std::unexpected(cannotWrite(path));
    }
    return {};
}

bool minuteRecorded(const std::vector<MinuteRecord> &records, int32_t now)
{
    if (records.empty()) return false;
    const int32_t newest = records.back().stamp;
    return newest / 10000 == now / 10000 && newest >= now;
}

std::expected<std::vector<int>, QString> MakeMinuteList(const State &st)
{
    std::vector<int> codes;
    std::vector<long long> written;
    std::vector<bool> seen(10000, false);
    seen[0] = true;   // 0 (a text line of a list) is never a code to collect
    for (int n = 1; n <= 3; ++n) {
        const QString path = watchListPath(st, n);
        if (!FileExist(path)) continue;
        auto numbers = readListNumbers(path);
        if (!numbers) return std::unexpected(numbers.error());
        for (long long v : *numbers) {
            if (v < 1 || v > 9999 || seen[size_t(v)] || int(codes.size()) >= kMaxMinuteCodes) continue;
            seen[size_t(v)] = true;
            codes.push_back(int(v));
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
        if (v >= 1 && v <= 9999) codes.push_back(int(v));
    return codes;
}

void ReadMinuteBars(State &st, Services &sv, int n)
{
    const int16_t savedMode = st.QuoteMode;
    st.QuoteMode = 1;
    const int room = std::clamp(n, 0, int(st.BarDate.size()) - 2);
    const auto records = readMinuteRecords(minuteFilePath(st, st.CurCode), size_t(room));
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
        st.CurCode = int16_t(code);
        const int32_t now = minuteStamp(sv.clock.now());
        const QString path = minuteFilePath(st, code);
        if (minuteRecorded(readMinuteRecords(path), now)) {
            ++tick.skipped;
            continue;
        }
        // A reader that declines (busy with another page) must not leave the last stock's bar here.
        st.BarOpen[0] = st.BarClose[0] = 0;
        if (sv.liveQuote) sv.liveQuote->getVec(st);
        if (st.BarClose[0] > 0) tick.prices.push_back({code, st.BarClose[0]});
        if (st.BarOpen[0] == 0 || st.BarClose[0] == 0) {
            ++tick.empty;
            continue;
        }
        const MinuteRecord r{now, st.BarOpen[0], st.BarHigh[0], st.BarLow[0], st.BarClose[0], st.BarVolume[0]};
        if (auto w = appendMinuteRecord(path, r); !w) {
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
