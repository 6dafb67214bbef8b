#include "import/PendingLines.h"

#include "common/NumText.h"
#include "common/StockCode.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/Services.h"
#include "db/State.h"
#include "import/ImportPass.h"

#include <QFileInfo>
#include <algorithm>

namespace velor {

namespace {

QByteArray lineText(const PendingLine &p)
{
    const DailyFile &d = p.day;
    const DailyLine &l = d.lines.front();
    const int32_t D = d.D;
    // Index series are delivered in shares and held in millions: written back as delivered.
    const double volume = (l.code == 1001 || l.code == 1002) ? l.volume * 1000000.0 : l.volume;
    return QString::asprintf("%04d-%02d-%02d", D / 10000, D / 100 % 100, D % 100).toLatin1() + ',' + codeBytes(l.code) + ',' +
           QByteArray::number(l.section) + ',' + l.open + ',' + l.high + ',' + l.low + ',' + l.close + ',' +
           doubleText(volume).toLatin1();
}

} // namespace

bool PendingLine::operator<(const PendingLine &o) const { return day.D < o.day.D; }

QString pendingPath(const QString &dataDir) { return dataDir + QStringLiteral("VELOR.pnd"); }

PendingLine pendingLine(const DailyFile &day, const DailyLine &line)
{
    PendingLine p;
    p.day.D = day.D, p.day.WS = day.WS, p.day.MS = day.MS;
    p.day.lines.push_back(line);
    return p;
}

std::expected<std::map<int, std::vector<PendingLine>>, QString> readPending(const QString &path)
{
    std::map<int, std::vector<PendingLine>> out;
    if (!QFileInfo::exists(path)) return out;
    auto bytes = readBytes(path, qint64(64) << 20);
    if (!bytes) return std::unexpected(bytes.error());
    for (const QByteArray &line : splitLines(*bytes)) {
        if (line.trimmed().isEmpty()) continue;
        auto day = parseDailyFile(line + "\r\n", path);
        if (!day || day->lines.size() != 1) return std::unexpected(day ? path : day.error().text);
        out[day->lines.front().code].push_back(PendingLine{std::move(*day)});
    }
    for (auto &[code, lines] : out) std::stable_sort(lines.begin(), lines.end());
    return out;
}

QByteArray pendingBytes(const std::map<int, std::vector<PendingLine>> &pending)
{
    std::vector<const PendingLine *> all;
    for (const auto &[code, lines] : pending)
        for (const PendingLine &p : lines) all.push_back(&p);
    // By day, then in the exchange's order of codes.
    std::stable_sort(all.begin(), all.end(), [](const PendingLine *a, const PendingLine *b) {
        if (a->day.D != b->day.D) return a->day.D < b->day.D;
        return codeLess(a->day.lines.front().code, b->day.lines.front().code);
    });
    QByteArray out;
    for (const PendingLine *p : all) out += lineText(*p) + "\r\n";
    return out;
}

bool applyPending(State &st, Services &sv)
{
    const QString path = pendingPath(st.DataDir);
    auto pending = readPending(path);
    if (!pending) return sv.dialogs.message(pending.error(), Icon::Error), false;
    if (pending->empty()) {
        if (QFileInfo::exists(path)) QFile::remove(path);
        return true;
    }
    // 1001's dates, for the weekly and monthly bars of each waiting day.
    std::vector<int32_t> dates;
    if (auto f = readStoredFile(st.priceFilePath(1001)); f && *f) dates = calendarOfFile(**f);
    std::map<int, std::vector<PendingLine>> left;
    for (auto &[code, lines] : *pending) {
        const QString file = st.priceFilePath(code);
        auto stored = readStoredFile(file);
        std::optional<QByteArray> bytes = stored ? *stored : std::nullopt;
        QString error = stored ? QString() : stored.error();
        size_t done = 0;
        for (; error.isEmpty() && done < lines.size(); ++done) {
            const PendingLine &p = lines[done];
            std::vector<int32_t> calendar;
            for (int32_t d : dates)
                if (d < p.day.D) calendar.push_back(d);
            if (!applyDayLine(bytes, p.day, p.day.lines.front(), false, calendar, error)) break;
        }
        if (done > 0 && bytes) {
            if (auto w = saveBytes(file, *bytes); !w) {
                error = w.error();
                done = 0;
            }
        }
        if (done > 0)
            sv.shell.prependMessage(QStringLiteral("銘柄： ") + codeText(code) + QStringLiteral(" の保留していた ") +
                                    QString::number(done) + QStringLiteral(" 日分のデータを追加しました。\r\n"));
        if (done < lines.size()) {
            left[code].assign(lines.begin() + qsizetype(done), lines.end());
            sv.shell.notice(QStringLiteral("銘柄： ") + codeText(code) + QStringLiteral(" の株価ファイル ") + file +
                            QStringLiteral(" がまだ読めないため（") + error + QStringLiteral("）、") +
                            QString::number(lines.size() - done) + QStringLiteral(" 日分のデータを保留したままです。"));
        }
    }
    if (auto w = saveBytes(path, pendingBytes(left)); !w) return sv.dialogs.message(w.error(), Icon::Error), false;
    if (left.empty()) QFile::remove(path);
    return true;
}

} // namespace velor
