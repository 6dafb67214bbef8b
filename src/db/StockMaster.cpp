#include "db/StockMaster.h"

#include "common/Cp932.h"
#include "common/StockCode.h"
#include "common/TextFile.h"
#include "db/State.h"

#include <QFile>
#include <QtEndian>

namespace velor {

namespace {

const QByteArray kLetterTag = QByteArrayLiteral("LTCD");

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
    // Opening a FIFO would wait for a writer for ever.
    if (auto r = refuseNonRegular(path); !r) return std::unexpected(r.error());
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

std::expected<MasterImage, QString> parseMaster(const QByteArray &b, const QString &path, bool names)
{
    if (b.size() < 14) return std::unexpected(masterErrorText(path));
    MasterImage m;
    const int count = word(b, 0);
    const qsizetype tail = qsizetype(14) * (qsizetype(count) + 1);
    if (count < 0 || b.size() < tail) return std::unexpected(masterErrorText(path));
    const bool tagged = b.size() >= tail + 4 && b.mid(tail, 4) == kLetterTag;
    m.header.StockCount = int16_t(count);
    m.header.CapDaily = word(b, 2);
    m.header.CapWeekly = word(b, 4);
    m.header.CapMonthly = word(b, 6);
    m.header.reserved = b.mid(8, 6);
    m.entries.reserve(size_t(count));
    for (int i = 1; i <= count; ++i) {
        const qsizetype at = qsizetype(14) * i;
        int code = word(b, at);
        if (code <= 0) {
            // -k: the k-th code of the tail.
            const qsizetype from = tail + 4 + 4 * (qsizetype(-code) - 1);
            const auto text = tagged && code < 0 && from + 4 <= b.size()
                                  ? codeFromText(std::string_view(b.constData() + from, 4))
                                  : std::nullopt;
            if (!text || !hasLetter(*text)) return std::unexpected(masterErrorText(path));
            code = *text;
        } else if (code > 9999) {
            return std::unexpected(masterErrorText(path));
        }
        m.entries.push_back({code, names ? heldName(b.mid(at + 2, 10)) : QString(), word(b, at + 12)});
    }
    return m;
}

std::expected<void, QString> MEIGARAIN(State &st)
{
    if (auto r = refuseNonRegular(st.MasterPath); !r) return std::unexpected(r.error());
    auto bytes = readBytes(st.MasterPath, 14 * 40000);
    if (!bytes) return std::unexpected(masterErrorText(st.MasterPath));
    auto m = parseMaster(*bytes, st.MasterPath);
    if (!m) return std::unexpected(m.error());
    const size_t count = m->entries.size();
    std::vector<int> codes(count + 1);
    std::vector<int16_t> sections(count + 1);
    std::vector<QString> names(count + 1);
    std::vector<int16_t> index(size_t(kCodeSpace), 0);
    for (size_t i = 1; i <= count; ++i) {
        const MasterEntry &e = m->entries[i - 1];
        codes[i] = e.code;
        names[i] = e.name;
        sections[i] = e.section;
        index[size_t(e.code)] = int16_t(i);
    }
    st.StockCount = int16_t(count);
    st.CapDaily = m->header.CapDaily;
    st.CapWeekly = m->header.CapWeekly;
    st.CapMonthly = m->header.CapMonthly;
    st.StockCode = std::move(codes);
    st.StockSection = std::move(sections);
    st.StockName = std::move(names);
    st.StockIndex = std::move(index);
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
    QByteArray letters;
    for (const auto &e : entries) {
        if (hasLetter(e.code)) {
            letters += codeBytes(e.code);
            if (letters.size() / 4 > 32768) return std::unexpected(path + QStringLiteral(" に英字を含む銘柄コードが多すぎます。"));
            putWord(b, int16_t(-(letters.size() / 4)));
        } else {
            putWord(b, int16_t(e.code));
        }
        b += nameField(e.name);
        putWord(b, e.section);
    }
    if (!letters.isEmpty()) b += kLetterTag + letters;
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
