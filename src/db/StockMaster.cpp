#include "db/StockMaster.h"

#include "common/Cp932.h"
#include "common/TextFile.h"
#include "db/State.h"

#include <QFile>
#include <QtEndian>

namespace velor {

namespace {

int16_t word(const QByteArray &b, qsizetype at) { return qFromLittleEndian<int16_t>(b.constData() + at); }
void putWord(QByteArray &b, int16_t v)
{
    char w[2];
    qToLittleEndian<int16_t>(v, w);
    b.append(w, 2);
}

} // namespace

QString masterErrorText(const QString &masterPath)
{
    return masterPath + QStringLiteral(" からデータを読み込む際、エラーが発生しました") + QStringLiteral("\r\n\r\n") +
           QStringLiteral("終了します");
}

std::expected<MasterHeader, QString> readMasterHeader(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return std::unexpected(masterErrorText(path));
    const QByteArray h = f.read(14);
    if (h.size() < 14) return std::unexpected(masterErrorText(path));
    MasterHeader mh;
    mh.StockCount = word(h, 0);
    mh.CapDaily = word(h, 2);
    mh.CapWeekly = word(h, 4);
    mh.CapMonthly = word(h, 6);
    mh.reserved = h.mid(8, 6);
    return mh;
}

QByteArray nameField(const QString &name)
{
    QByteArray out;
    for (const QChar c : name) {
        const QByteArray b = toCp932(QString(c));
        if (out.size() + b.size() > 10) break;
        out += b;
    }
    while (out.size() < 10) out += ' ';
    return out;
}

QString heldName(const QByteArray &field)
{
    QString n = fromCp932(field).left(5);
    while (n.size() < 10) n += ' ';
    return n;
}

std::expected<void, QString> MEIGARAIN(State &st)
{
    auto bytes = readBytes(st.MasterPath, 14 * 40000);
    if (!bytes || bytes->size() < 14) return std::unexpected(masterErrorText(st.MasterPath));
    const QByteArray &b = *bytes;
    const int count = word(b, 0);
    if (count < 0 || b.size() < qsizetype(14) * (count + 1)) return std::unexpected(masterErrorText(st.MasterPath));

    std::vector<int16_t> codes(size_t(count) + 1), sections(size_t(count) + 1);
    std::vector<QString> names(size_t(count) + 1);
    std::array<int16_t, 10000> index{};
    for (int i = 1; i <= count; ++i) {
        const qsizetype at = qsizetype(14) * i;
        const int16_t code = word(b, at);
        if (code < 1 || code > 9999) return std::unexpected(masterErrorText(st.MasterPath));
        codes[size_t(i)] = code;
        names[size_t(i)] = heldName(b.mid(at + 2, 10));
        sections[size_t(i)] = word(b, at + 12);
        index[size_t(code)] = int16_t(i);
    }
    st.StockCount = int16_t(count);
    st.CapDaily = word(b, 2);
    st.CapWeekly = word(b, 4);
    st.CapMonthly = word(b, 6);
    st.StockCode = std::move(codes);
    st.StockSection = std::move(sections);
    st.StockName = std::move(names);
    st.StockIndex = index;
    return {};
}

std::expected<void, QString> writeMaster(const QString &path, const MasterHeader &header,
                                         const std::vector<MasterEntry> &entries)
{
    QByteArray b;
    b.reserve(qsizetype(14) * qsizetype(entries.size() + 1));
    putWord(b, int16_t(entries.size()));
    putWord(b, header.CapDaily);
    putWord(b, header.CapWeekly);
    putWord(b, header.CapMonthly);
    QByteArray reserved = header.reserved.left(6);
    while (reserved.size() < 6) reserved += '\0';
    b += reserved;
    for (const auto &e : entries) {
        putWord(b, e.code);
        b += nameField(e.name);
        putWord(b, e.section);
    }
    return saveBytes(path, b);
}

std::vector<MasterEntry> masterEntries(const State &st)
{
    std::vector<MasterEntry> out;
    out.reserve(size_t(st.StockCount));
    for (int i = 1; i <= st.StockCount; ++i)
        out.push_back({st.StockCode[size_t(i)], st.StockName[size_t(i)], st.StockSection[size_t(i)]});
    return out;
}

} // namespace velor
