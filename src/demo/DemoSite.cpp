#include "demo/DemoSite.h"

#include "common/StockCode.h"

#include "common/Cp932.h"
#include "common/NumText.h"
#include "common/TextFile.h"

#include <QDir>
#include <QtEndian>

namespace velor::demo {

namespace {

QByteArray linkOf(const QDate &d)
{
    return "data" + d.toString("yyyy").toLatin1() + "/D" + d.toString("yyMMdd").toLatin1() + ".lzh";
}

quint32 dosTimeOf(const QDate &d)
{
    return quint32(d.year() - 1980) << 25 | quint32(d.month()) << 21 | quint32(d.day()) << 16 | quint32(18) << 11;
}

template <typename T> void put(QByteArray &b, T v)
{
    char w[sizeof(T)];
    qToLittleEndian<T>(v, w);
    b.append(w, sizeof(T));
}

} // namespace

quint16 lzhCrc16(const QByteArray &data)
{
    quint16 crc = 0;
    for (const char ch : data) {
        crc ^= quint8(ch);
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

QByteArray storedLzh(const QByteArray &memberName, const QByteArray &payload, quint32 dosTime)
{
    QByteArray body = "-lh0-";
    put<quint32>(body, quint32(payload.size()));   // packed size
    put<quint32>(body, quint32(payload.size()));   // original size
    put<quint32>(body, dosTime);
    body += char(0x20);                            // attribute: archive
    body += char(0);                               // header level 0
    body += char(memberName.size());
    body += memberName;
    put<quint16>(body, lzhCrc16(payload));
    quint8 sum = 0;
    for (const char ch : body) sum = quint8(sum + quint8(ch));
    QByteArray out;
    out += char(body.size());
    out += char(sum);
    return out + body + payload + '\0';
}

std::vector<QByteArray> dailyFiles(const MarketGenerator &gen, int from, int to)
{
    std::vector<QByteArray> files(size_t(std::max(to - from, 0)));
    std::vector<QByteArray> dates;
    for (int d = from; d < to; ++d) dates.push_back(gen.calendar()[size_t(d)].toString("yyyy-MM-dd").toLatin1());
    for (size_t i = 0; i < gen.listing().size(); ++i) {
        const StockSeries s = gen.series(i);
        for (int d = std::max(from, s.firstDay); d < std::min(to, s.endDay); ++d) {
            const Bar &b = s.daily[size_t(d)];
            QByteArray &f = files[size_t(d - from)];
            f += dates[size_t(d - from)] + ',' + codeBytes(s.entry.code) + ',' +
                 QByteArray::number(gen.sectionOn(i, d)) + ',' + singleText(b.open).toLatin1() + ',' +
                 singleText(b.high).toLatin1() + ',' + singleText(b.low).toLatin1() + ',' +
                 singleText(b.close).toLatin1() + ',' + doubleText(MarketGenerator::deliveredVolume(s, b)).toLatin1() +
                 "\r\n";
        }
    }
    return files;
}

std::expected<void, QString> writeDemoSite(const MarketGenerator &gen, const QString &siteDir)
{
    const auto &cal = gen.calendar();
    QByteArray page = "<!DOCTYPE html>\r\n<html lang=\"ja\"><head><meta charset=\"UTF-8\"><title>株価データ（デモ）</title></head>\r\n"
                      "<body>\r\n<h1>日々の株価データ（デモ）</h1>\r\n<ul>\r\n";
    for (const QDate &d : cal) {
        const QByteArray link = linkOf(d);
        page += "<li><a href=\"" + link + "\">" + link.right(11) + "</a></li>\r\n";
    }
    page += "</ul>\r\n</body></html>\r\n";
    const int from = gen.storedDays(), to = int(cal.size());
    const std::vector<QByteArray> files = dailyFiles(gen, from, to);
    for (int d = from; d < to; ++d) {
        const QDate day = cal[size_t(d)];
        const QString folder = siteDir + QStringLiteral("data") + day.toString("yyyy");
        if (!QDir().mkpath(folder))
            return std::unexpected(QStringLiteral("フォルダー：　") + folder + QStringLiteral(" を作成できません。"));
        const QByteArray member = "D" + day.toString("yyMMdd").toLatin1() + ".csv";
        const QByteArray archive = storedLzh(member, files[size_t(d - from)], dosTimeOf(day));
        if (auto r = saveBytes(siteDir + QString::fromLatin1(linkOf(day)), archive); !r) return r;
    }
    if (auto r = saveBytes(siteDir + QStringLiteral("names.csv"), nameList(gen)); !r) return r;
    return saveBytes(siteDir + QStringLiteral("index.html"), page);
}

QByteArray nameList(const MarketGenerator &gen)
{
    QByteArray out;
    const int last = int(gen.calendar().size()) - 1;
    const auto &listing = gen.listing();
    for (size_t i = 0; i < listing.size(); ++i) {
        if (listing[i].code < 1301) continue;   // the index series carry no name of a company
        out += codeBytes(listing[i].code) + ',' + toCp932(listing[i].name.trimmed()) + ',' +
               QByteArray::number(gen.sectionOn(i, last)) + "\r\n";
    }
    return out;
}

} // namespace velor::demo
