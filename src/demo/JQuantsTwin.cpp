#include "demo/JQuantsTwin.h"

#include "common/Clock.h"
#include "common/NumText.h"
#include "common/StockCode.h"
#include "import/JQuantsData.h"

#include <QTcpSocket>
#include <map>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <zlib.h>

namespace velor::demo {

namespace {

// A request head larger than this is no client's: the connection is dropped.
constexpr qsizetype kMaxHeadBytes = 16 * 1024;
// Nor does any client send a body this large to an API that reads none.
constexpr qint64 kMaxBodyBytes = 1024 * 1024;
constexpr qint64 kWindowMs = 60 * 1000;
const QByteArray kBulkEndpoint = "/equities/bars/daily";
const QByteArray kBulkPrefix = "equities/bars/daily/historical/";

// --- The market's bars, kept small ---------------------------------------------------------------
// The default demo holds some 4,000 stocks over 25 years of weekdays: as daily-file text that is
// over a gigabyte. A stock's bar of whole yen is kept as its open, three differences and the
// volume in lots of 100 (about ten bytes); any other bar keeps its exact values.

void putVarint(QByteArray &out, quint64 v)
{
    while (v >= 0x80) {
        out += char(quint8(v & 0x7F) | 0x80);
        v >>= 7;
    }
    out += char(v);
}

quint64 takeVarint(const char *&p)
{
    quint64 v = 0;
    for (int shift = 0;; shift += 7) {
        const quint8 b = quint8(*p++);
        v |= quint64(b & 0x7F) << shift;
        if (!(b & 0x80)) return v;
    }
}

// Whole numbers up to 2^24 are exact in a float, and so are their differences.
bool wholePrice(float v) { return v >= 0 && v <= 16777216.0f && v == std::floor(v); }

void putBar(QByteArray &out, size_t index, const Bar &b, double volume)
{
    const double lots = volume / 100;
    const bool compact = wholePrice(b.open) && wholePrice(b.high) && wholePrice(b.low) && wholePrice(b.close) &&
                         b.low <= b.open && b.open <= b.high && b.low <= b.close && lots >= 0 && lots < 1e15 &&
                         lots == std::floor(lots) && lots * 100 == volume;
    putVarint(out, quint64(index) * 2 + (compact ? 0 : 1));
    if (compact) {
        for (const double v : {double(b.open), double(b.high - b.open), double(b.open - b.low), double(b.close - b.low), lots})
            putVarint(out, quint64(v));
        return;
    }
    for (const float v : {b.open, b.high, b.low, b.close}) out.append(reinterpret_cast<const char *>(&v), sizeof v);
    out.append(reinterpret_cast<const char *>(&volume), sizeof volume);
}

// One bar back: its place in the listing, the bar and the delivered volume.
size_t takeBar(const char *&p, Bar &b, double &volume)
{
    const quint64 head = takeVarint(p);
    if ((head & 1) == 0) {
        const quint64 open = takeVarint(p), up = takeVarint(p), down = takeVarint(p), close = takeVarint(p);
        b.open = float(open);
        b.high = float(open + up);
        b.low = float(open - down);
        b.close = float(open - down + close);
        volume = double(takeVarint(p)) * 100;
    } else {
        for (float *v : {&b.open, &b.high, &b.low, &b.close}) {
            std::memcpy(v, p, sizeof *v);
            p += sizeof *v;
        }
        std::memcpy(&volume, p, sizeof volume);
        p += sizeof volume;
    }
    return size_t(head / 2);
}

// --- Texts -----------------------------------------------------------------------------------

QByteArray isoDate(const QDate &d) { return d.toString(Qt::ISODate).toLatin1(); }

QByteArray jsonString(const QString &s)
{
    QByteArray out = "\"";
    for (const char c : s.toUtf8()) {
        if (c == '"' || c == '\\') out += '\\' + QByteArray(1, c);
        else if (quint8(c) < 0x20) out += "\\u00" + QByteArray::number(quint8(c), 16).rightJustified(2, '0');
        else out += c;
    }
    return out + '"';
}

QByteArray jsonMessage(const QByteArray &text) { return "{\"message\":" + jsonString(QString::fromLatin1(text)) + "}"; }

// The texts of doubleBytes() (which are those of singleBytes() for the values of floats' texts),
// without allocating for the whole numbers that nearly all are.
void putNumber(std::string &out, double v)
{
    if (v == std::floor(v) && std::fabs(v) < 9007199254740992.0) {
        char digits[24];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, static_cast<long long>(v)).ptr);
        return;
    }
    const QByteArray text = doubleBytes(v);
    out.append(text.constData(), size_t(text.size()));
}

// The value of a float as the daily file writes it: 1234.5f is 1234.5, and a float's text has at
// most seven significant digits.
double decimal(float v) { return v == std::floor(v) && std::fabs(v) < 1e7f ? double(v) : singleBytes(v).toDouble(); }

// The real 33 industries of the exchange, given to codes by their first two digits much as the
// exchange's own codes run (13xx fishery, 15xx mining, 8xxx trade and finance …).
struct Sector {
    int lastLead;
    const char *s33;
    const char16_t *name33;
    const char *s17;
    const char16_t *name17;
};
const Sector kSectors[] = {
    {13, "0050", u"水産・農林業", "1", u"食品"},
    {14, "2050", u"建設業", "3", u"建設・資材"},
    {16, "1050", u"鉱業", "2", u"エネルギー資源"},
    {19, "2050", u"建設業", "3", u"建設・資材"},
    {29, "3050", u"食料品", "1", u"食品"},
    {30, "6100", u"小売業", "14", u"小売"},
    {31, "3100", u"繊維製品", "4", u"素材・化学"},
    {32, "8050", u"不動産業", "17", u"不動産"},
    {33, "9050", u"サービス業", "10", u"情報通信・サービスその他"},
    {34, "3200", u"化学", "4", u"素材・化学"},
    {35, "3150", u"パルプ・紙", "4", u"素材・化学"},
    {39, "5250", u"情報・通信業", "10", u"情報通信・サービスその他"},
    {41, "3200", u"化学", "4", u"素材・化学"},
    {44, "9050", u"サービス業", "10", u"情報通信・サービスその他"},
    {45, "3250", u"医薬品", "5", u"医薬品"},
    {49, "3200", u"化学", "4", u"素材・化学"},
    {50, "3300", u"石油・石炭製品", "2", u"エネルギー資源"},
    {51, "3350", u"ゴム製品", "6", u"自動車・輸送機"},
    {53, "3400", u"ガラス・土石製品", "3", u"建設・資材"},
    {56, "3450", u"鉄鋼", "7", u"鉄鋼・非鉄"},
    {57, "3500", u"非鉄金属", "7", u"鉄鋼・非鉄"},
    {59, "3550", u"金属製品", "3", u"建設・資材"},
    {63, "3600", u"機械", "8", u"機械"},
    {69, "3650", u"電気機器", "9", u"電機・精密"},
    {72, "3700", u"輸送用機器", "6", u"自動車・輸送機"},
    {77, "3750", u"精密機器", "9", u"電機・精密"},
    {79, "3800", u"その他製品", "10", u"情報通信・サービスその他"},
    {81, "6050", u"卸売業", "13", u"商社・卸売"},
    {82, "6100", u"小売業", "14", u"小売"},
    {84, "7050", u"銀行業", "15", u"銀行"},
    {85, "7200", u"その他金融業", "16", u"金融（除く銀行）"},
    {86, "7100", u"証券、商品先物取引業", "16", u"金融（除く銀行）"},
    {87, "7150", u"保険業", "16", u"金融（除く銀行）"},
    {89, "8050", u"不動産業", "17", u"不動産"},
    {90, "5050", u"陸運業", "12", u"運輸・物流"},
    {91, "5100", u"海運業", "12", u"運輸・物流"},
    {92, "5150", u"空運業", "12", u"運輸・物流"},
    {93, "5200", u"倉庫・運輸関連業", "12", u"運輸・物流"},
    {94, "5250", u"情報・通信業", "10", u"情報通信・サービスその他"},
    {95, "4050", u"電気・ガス業", "11", u"電力・ガス"},
    {98, "9050", u"サービス業", "10", u"情報通信・サービスその他"},
    {99, "6100", u"小売業", "14", u"小売"},
};

const Sector &sectorOf(int code)
{
    const QString text = codeText(code);
    const auto digit = [&](qsizetype at) { return at < text.size() && text[at].isDigit() ? text[at].digitValue() : 0; };
    const int lead = digit(0) * 10 + digit(1);
    for (const Sector &s : kSectors)
        if (lead <= s.lastLead) return s;
    return std::end(kSectors)[-1];
}

// The API's names of the fields after the code, in its order (UL and LL follow C).
const char *const kFieldNames[] = {"", "O", "H", "L", "C", "Vo", "Va", "AdjFactor", "AdjO", "AdjH", "AdjL", "AdjC", "AdjVo"};

QByteArray gzip(const QByteArray &data, int level)
{
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return rc == Z_STREAM_END ? out : QByteArray();
}

QByteArray reasonOf(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 429: return "Too Many Requests";
    default: return "Error";
    }
}

// Qt's hashing of byte arrays (the request's headers, its query) returns with the upper halves of
// the vector registers in use, and on processors with AVX-512 every later scalar floating-point
// instruction of the thread then runs several times slower (the default market took 40 s to make
// instead of 6; a thread started afterwards inherits the state). Long arithmetic clears them first.
void clearVectorUppers()
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (__builtin_cpu_supports("avx")) asm volatile("vzeroupper");
#endif
}

JQuantsTwin::Reply jsonReply(int status, QByteArray body) { return {status, std::move(body), {}}; }
JQuantsTwin::Reply badRequest(const QByteArray &text) { return jsonReply(400, jsonMessage(text)); }
JQuantsTwin::Reply notFound() { return jsonReply(404, jsonMessage("Not found.")); }

// A date parameter: nothing when absent, an invalid date when malformed.
std::optional<QDate> dateParameter(const QHash<QByteArray, QByteArray> &query, const char *name)
{
    if (!query.contains(name)) return std::nullopt;
    const int32_t v = jq::apiDate(QString::fromLatin1(query.value(name)));
    return v ? QDate(v / 10000, v / 100 % 100, v % 100) : QDate();
}

} // namespace

struct JQuantsTwin::Store {
    std::vector<int> first, end;    // each listing entry's days [first, end)
    std::vector<QByteArray> codes;  // each listing entry's five characters
    size_t index = SIZE_MAX;        // the listing entry of 1001
    std::vector<Bar> indexBars;
    std::vector<QByteArray> days;   // per calendar day: the stocks' bars in listing order
    // Bulk files: their sizes by YYYYMM with what they were made from (the month's served end and
    // the splits served), and the file asked for last.
    QHash<int, std::tuple<int, int, qint64>> sizes;
    // The newest files made, as the exchange keeps its files ready: a first fill that takes two
    // years of them is not slowed by their making.
    std::map<int, std::pair<std::tuple<int, int, int>, QByteArray>> files;
    static constexpr size_t kFilesKept = 30;
    void keep(int yyyymm, std::tuple<int, int, int> key, QByteArray bytes)
    {
        files[yyyymm] = {key, std::move(bytes)};
        if (files.size() > kFilesKept) files.erase(files.begin());
    }
};

struct JQuantsTwin::DayRow {
    enum { Code, Open, High, Low, Close, Volume, Value, Factor, AdjOpen, AdjHigh, AdjLow, AdjClose, AdjVolume, Fields };
    std::string text;                      // the fields one after another, the buffer kept from row to row
    std::array<size_t, Fields + 1> at{};   // where each field begins; an empty one is null (no trade)
    int closed = 0;

    QByteArrayView field(int f) const { return QByteArrayView(text.data() + at[size_t(f)], qsizetype(at[size_t(f) + 1] - at[size_t(f)])); }
    void start(QByteArrayView code)
    {
        text.assign(code.data(), size_t(code.size()));
        closed = 0;
        close();
    }
    void close() { at[size_t(++closed)] = text.size(); }
    void put(double v)
    {
        putNumber(text, v);
        close();
    }
    // A listed stock's row: prices as O, H, L, C, the volume, and the split that adjusts them.
    void write(QByteArrayView code, const double (&price)[4], double volume, double num, double den, double factor)
    {
        start(code);
        for (const double v : price) put(v);
        put(volume);
        put(price[3] * volume);
        put(std::round(factor * 1e6) / 1e6);
        for (const double v : price) put(v * num / den);
        put(volume * den / num);
    }
    void writeNoTrade(QByteArrayView code)
    {
        start(code);
        while (closed < Factor) close();
        text += '1';
        while (closed < Fields) close();
    }

    QByteArray json(const QByteArray &date) const
    {
        QByteArray out;
        out.reserve(320);
        out.append("{\"Date\":\"").append(date).append("\",\"Code\":\"").append(field(Code)).append('"');
        for (int f = Open; f < Fields; ++f) {
            out.append(",\"").append(kFieldNames[f]).append("\":");
            const QByteArrayView v = field(f);
            out.append(v.isEmpty() ? QByteArrayView("null") : v);
            if (f == Close) out.append(",\"UL\":\"0\",\"LL\":\"0\"");
        }
        return out.append('}');
    }
    void appendCsv(QByteArray &out, const QByteArray &date) const
    {
        out.append(date).append(',').append(field(Code));
        for (int f = Open; f < Fields; ++f) {
            out.append(',').append(field(f));
            if (f == Close) out.append(",0,0");
        }
        out.append('\n');
    }
};

struct JQuantsTwin::Month {
    int yyyymm = 0;
    int first = 0, end = 0;   // the served calendar days of the month
    QByteArray key;
};

JQuantsTwin::JQuantsTwin(MarketOptions market, Clock &clock, TwinOptions options, QObject *parent)
    : QObject(parent), m_gen(std::move(market)), m_clock(clock), m_opt(std::move(options))
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = m_server.nextPendingConnection()) {
            connect(s, &QTcpSocket::readyRead, this, [this, s] { onReadable(s); });
            connect(s, &QTcpSocket::disconnected, this, [this, s] {
                m_pending.remove(s);
                s->deleteLater();
            });
        }
    });
}

JQuantsTwin::~JQuantsTwin() { close(); }

bool JQuantsTwin::listen(int port)
{
    if (port < 0 || port > 65535 || !m_server.listen(QHostAddress::LocalHost, quint16(port))) return false;
    if (!m_store && !m_preparing.joinable()) {
        m_stopPreparing = false;
        m_preparing = std::thread([this] { m_prepared = makeStore(m_gen, m_stopPreparing); });
    }
    return true;
}

void JQuantsTwin::close()
{
    m_stopPreparing = true;
    if (m_preparing.joinable()) m_preparing.join();
    if (m_prepared) m_store = std::move(m_prepared);
    m_server.close();
    // The connections are children of the server: they go without reaching back into this object.
    for (QTcpSocket *s : m_server.findChildren<QTcpSocket *>()) {
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
    m_pending.clear();
}

QString JQuantsTwin::baseAddress() const { return QStringLiteral("http://127.0.0.1:%1/v2").arg(m_server.serverPort()); }

std::unique_ptr<JQuantsTwin::Store> JQuantsTwin::makeStore(const MarketGenerator &gen, const std::atomic<bool> &stop)
{
    clearVectorUppers();
    auto st = std::make_unique<Store>();
    const auto &listing = gen.listing();
    st->first.resize(listing.size());
    st->end.resize(listing.size());
    st->days.resize(gen.calendar().size());
    for (const MasterEntry &e : listing) st->codes.push_back(jq::apiCode(e.code).toLatin1());
    // One pass over the market: each series is made once, whatever the days asked for later.
    for (size_t i = 0; i < listing.size(); ++i) {
        if (stop) return nullptr;
        const StockSeries s = gen.series(i);
        st->first[i] = s.firstDay;
        st->end[i] = s.endDay;
        if (s.entry.code == 1001) {
            st->index = i;
            st->indexBars = s.daily;
        }
        if (!s.ordinary()) continue;
        for (int d = s.firstDay; d < s.endDay; ++d)
            putBar(st->days[size_t(d)], i, s.daily[size_t(d)], MarketGenerator::deliveredVolume(s, s.daily[size_t(d)]));
    }
    for (QByteArray &day : st->days) day.squeeze();
    return st;
}

const JQuantsTwin::Store &JQuantsTwin::store()
{
    if (!m_store && m_preparing.joinable()) {
        m_preparing.join();
        m_store = std::move(m_prepared);
    }
    if (!m_store) {
        const std::atomic<bool> never{false};
        m_store = makeStore(m_gen, never);
    }
    return *m_store;
}

int JQuantsTwin::servedEnd() const
{
    // The day's prices are out after the close, from 16:30.
    const QDateTime now = m_clock.now();
    const auto &cal = m_gen.calendar();
    const auto at = std::lower_bound(cal.begin(), cal.end(), now.date());
    const bool today = at != cal.end() && *at == now.date() && now.time() >= QTime(16, 30);
    return int(at - cal.begin()) + (today ? 1 : 0);
}

void JQuantsTwin::forEachRow(const Store &st, int day, int served, const std::function<void(const DayRow &)> &use) const
{
    if (day < 0 || day >= served) return;
    const auto &listing = m_gen.listing();
    const int days = int(m_gen.calendar().size());
    const QByteArray &bytes = st.days[size_t(day)];
    const char *p = bytes.constData(), *end = p + bytes.size();
    Bar bar;
    double volume = 0;
    size_t next = p < end ? takeBar(p, bar, volume) : SIZE_MAX;
    bool preferred = false;
    DayRow r;
    for (size_t i = 0; i < listing.size(); ++i) {
        if (listing[i].code < 1301) continue;
        if (next != i) {
            // A stock just delisted is still named for a few days, with no prices.
            if (st.end[i] < days && st.end[i] <= day && day < st.end[i] + 3) {
                r.writeNoTrade(st.codes[i]);
                use(r);
            }
            continue;
        }
        // Prices before a later split are given on today's basis too; the factor marks the ex-date.
        double num = 1, den = 1, factor = 1;
        for (const DemoSplit &sp : m_gen.splits()) {
            if (sp.index != i) continue;
            if (sp.exDay == day) factor = sp.before / sp.after;
            else if (sp.exDay > day && sp.exDay < served) num *= sp.before, den *= sp.after;
        }
        double price[4] = {decimal(bar.open), decimal(bar.high), decimal(bar.low), decimal(bar.close)};
        r.write(st.codes[i], price, volume, num, den, factor);
        use(r);
        if (!preferred) {
            // The first stock of the day also has a preferred share, at twice its prices.
            preferred = true;
            QByteArray code = st.codes[i];
            code[4] = '5';
            for (double &v : price) v *= 2;
            r.write(code, price, volume, num, den, factor);
            use(r);
        }
        next = p < end ? takeBar(p, bar, volume) : SIZE_MAX;
    }
}

std::vector<JQuantsTwin::Month> JQuantsTwin::months(int served) const
{
    std::vector<Month> out;
    const auto &cal = m_gen.calendar();
    for (int d = 0; d < served; ++d) {
        const int yyyymm = cal[size_t(d)].year() * 100 + cal[size_t(d)].month();
        if (out.empty() || out.back().yyyymm != yyyymm) {
            const QByteArray ym = QByteArray::number(yyyymm);
            out.push_back({yyyymm, d, d, kBulkPrefix + ym.left(4) + "/equities_bars_daily_" + ym + ".csv.gz"});
        }
        out.back().end = d + 1;
    }
    return out;
}

int JQuantsTwin::splitsServed(int served) const
{
    const auto &splits = m_gen.splits();
    return int(std::count_if(splits.begin(), splits.end(), [served](const DemoSplit &s) { return s.exDay < served; }));
}

QByteArray JQuantsTwin::makeMonthFile(const Store &st, const Month &m, int served) const
{
    clearVectorUppers();
    QByteArray csv = "Date,Code,O,H,L,C,UL,LL,Vo,Va,AdjFactor,AdjO,AdjH,AdjL,AdjC,AdjVo\n";
    csv.reserve(qsizetype(m.end - m.first) * qsizetype(m_gen.listing().size()) * 100);
    for (int d = m.first; d < m.end; ++d) {
        const QByteArray date = isoDate(m_gen.calendar()[size_t(d)]);
        forEachRow(st, d, served, [&](const DayRow &r) { r.appendCsv(csv, date); });
    }
    return gzip(csv, Z_BEST_SPEED);
}

QByteArray JQuantsTwin::monthFile(const Month &m, int served)
{
    const Store &st = store();
    const int splits = splitsServed(served);
    const std::tuple<int, int, int> key{m.yyyymm, m.end, splits};
    const auto kept = m_store->files.find(m.yyyymm);
    if (kept != m_store->files.end() && kept->second.first == key) return kept->second.second;
    QByteArray bytes = makeMonthFile(st, m, served);
    m_store->sizes[m.yyyymm] = {m.end, splits, bytes.size()};
    m_store->keep(m.yyyymm, key, bytes);
    return bytes;
}

std::vector<qint64> JQuantsTwin::monthSizes(const std::vector<Month> &months, int served)
{
    const Store &st = store();
    const int splits = splitsServed(served);
    std::vector<qint64> out;
    std::vector<size_t> missing;
    for (const Month &m : months) {
        const auto known = m_store->sizes.value(m.yyyymm, {-1, -1, 0});
        if (std::get<0>(known) != m.end || std::get<1>(known) != splits) missing.push_back(out.size());
        out.push_back(std::get<2>(known));
    }
    // A bulk file's size is that of its bytes: the files not made since the served days last
    // changed are made once, and only their sizes kept.
    for (const size_t k : missing) {
        QByteArray bytes = makeMonthFile(st, months[k], served);
        out[k] = bytes.size();
        m_store->sizes[months[k].yyyymm] = {months[k].end, splits, out[k]};
        m_store->keep(months[k].yyyymm, {months[k].yyyymm, months[k].end, splits}, std::move(bytes));
    }
    return out;
}

JQuantsTwin::Reply JQuantsTwin::list(const std::vector<QByteArray> &rows, const QHash<QByteArray, QByteArray> &query,
                                     const QByteArray &listQuery) const
{
    // A page's key names where the next page begins and, by a checksum, the query it belongs to.
    const QByteArray sum = QByteArray::number(qChecksum(listQuery), 16).rightJustified(4, '0');
    size_t from = 0;
    if (query.contains("pagination_key")) {
        const QByteArray key = query.value("pagination_key");
        const qsizetype dash = key.indexOf('-');
        bool ok = false;
        const qlonglong at = key.startsWith('k') && dash > 1 ? key.mid(1, dash - 1).toLongLong(&ok) : 0;
        if (!ok || key.mid(dash + 1) != sum || at <= 0 || at >= qlonglong(rows.size()))
            return badRequest("The pagination_key is invalid for this query.");
        from = size_t(at);
    }
    const size_t to = std::min(rows.size(), from + size_t(std::max(m_opt.pageSize, 1)));
    QByteArray body = "{\"data\":[";
    for (size_t i = from; i < to; ++i) body += (i > from ? "," : "") + rows[i];
    body += ']';
    if (to < rows.size()) body += ",\"pagination_key\":\"k" + QByteArray::number(qulonglong(to)) + '-' + sum + '"';
    return jsonReply(200, body + '}');
}

JQuantsTwin::Reply JQuantsTwin::respond(const QByteArray &method, const QByteArray &target,
                                        const QHash<QByteArray, QByteArray> &headers)
{
    ++m_requests;
    const qsizetype mark = target.indexOf('?');
    const QByteArray path = QByteArray::fromPercentEncoding(target.left(mark < 0 ? target.size() : mark));
    QHash<QByteArray, QByteArray> query;
    QList<QByteArray> items;   // the query without its page key, in a fixed order
    if (mark >= 0)
        for (const QByteArray &item : target.mid(mark + 1).split('&')) {
            if (item.isEmpty()) continue;
            const qsizetype eq = item.indexOf('=');
            const QByteArray name = QByteArray::fromPercentEncoding(item.left(eq < 0 ? item.size() : eq));
            query.insert(name, eq < 0 ? QByteArray() : QByteArray::fromPercentEncoding(item.mid(eq + 1)));
            if (name != "pagination_key") items.push_back(name + '=' + query.value(name));
        }
    std::sort(items.begin(), items.end());

    Reply r;
    bool json = true;
    if (path.startsWith("/files/")) {
        // A bulk file's short-lived address: no key, as the real one lies on another host.
        const int served = servedEnd();
        r = notFound();
        for (const Month &m : months(served))
            if (m.key == path.mid(7)) {
                r = {200, monthFile(m, served), {{"Content-Type", "application/gzip"}}};
                json = false;
            }
    } else if (headers.value("x-api-key") != m_opt.apiKey.toUtf8()) {
        r = jsonReply(401, jsonMessage("The API key is missing or invalid."));
    } else {
        const qint64 now = m_clock.now().toMSecsSinceEpoch();
        while (!m_recent.empty() && m_recent.front() <= now - kWindowMs) m_recent.pop_front();
        if (m_opt.perMinute > 0 && qsizetype(m_recent.size()) >= m_opt.perMinute) {
            // Until the oldest request of the window leaves it.
            const qint64 seconds = std::max<qint64>(1, (m_recent.front() + kWindowMs - now + 999) / 1000);
            r = jsonReply(429, jsonMessage("Rate limit exceeded. Please wait and retry."));
            r.headers.push_back({"Retry-After", QByteArray::number(seconds)});
        } else {
            if (m_opt.perMinute > 0) m_recent.push_back(now);
            if (method != "GET" && method != "HEAD") r = jsonReply(405, jsonMessage("Method not allowed."));
            else if (path.startsWith("/v2/")) r = route(path.mid(3), query, path + '?' + items.join('&'));
            else r = notFound();
        }
    }
    if (json) {
        r.headers.prepend({"Content-Type", "application/json; charset=utf-8"});
        if (headers.value("accept-encoding").contains("gzip")) {
            r.body = gzip(r.body, Z_DEFAULT_COMPRESSION);
            r.headers.push_back({"Content-Encoding", "gzip"});
        }
    }
    return r;
}

JQuantsTwin::Reply JQuantsTwin::route(const QByteArray &path, const QHash<QByteArray, QByteArray> &query,
                                      const QByteArray &listQuery)
{
    const auto &cal = m_gen.calendar();
    const int served = servedEnd();
    const auto calendarIndex = [&cal](const QDate &d) {
        const auto at = std::lower_bound(cal.begin(), cal.end(), d);
        return at != cal.end() && *at == d ? int(at - cal.begin()) : -1;
    };
    const auto range = [&](std::optional<QDate> &from, std::optional<QDate> &to) {
        from = dateParameter(query, "from");
        to = dateParameter(query, "to");
        return (!from || from->isValid()) && (!to || to->isValid());
    };
    std::vector<QByteArray> rows;

    if (path == "/equities/bars/daily") {
        const std::optional<QDate> date = dateParameter(query, "date");
        if (!date || !date->isValid()) return badRequest("A date (YYYYMMDD or YYYY-MM-DD) is required.");
        const int day = calendarIndex(*date);
        const QByteArray d = isoDate(*date);
        forEachRow(store(), day, served, [&](const DayRow &r) { rows.push_back(r.json(d)); });
        return list(rows, query, listQuery);
    }

    if (path == "/equities/master") {
        const std::optional<QDate> date = dateParameter(query, "date");
        if (date && !date->isValid()) return badRequest("The date must be YYYYMMDD or YYYY-MM-DD.");
        // The master as of the last trading day on or before the date, and never ahead of the served days.
        int day = served - 1;
        if (date) day = std::min(day, int(std::upper_bound(cal.begin(), cal.end(), *date) - cal.begin()) - 1);
        if (day < 0) return list(rows, query, listQuery);
        const Store &st = store();
        const auto &listing = m_gen.listing();
        const QByteArray d = isoDate(cal[size_t(day)]);
        bool preferred = false;
        for (size_t i = 0; i < listing.size(); ++i) {
            const int code = listing[i].code;
            if (code < 1301 || day < st.first[i] || day >= st.end[i] + 3) continue;
            const Sector &sector = sectorOf(code);
            const auto [mkt, mktName] = jq::marketOfSection(m_gen.sectionOn(i, day));
            const auto row = [&](const QByteArray &apiCode, const QString &name, const QString &english) {
                return "{\"Date\":\"" + d + "\",\"Code\":\"" + apiCode + "\",\"CoName\":" + jsonString(name) +
                       ",\"CoNameEn\":" + jsonString(english) + ",\"S17\":\"" + sector.s17 + "\",\"S17Nm\":" +
                       jsonString(QString::fromUtf16(sector.name17)) + ",\"S33\":\"" + sector.s33 + "\",\"S33Nm\":" +
                       jsonString(QString::fromUtf16(sector.name33)) + ",\"ScaleCat\":\"-\",\"Mkt\":" + jsonString(mkt) +
                       ",\"MktNm\":" + jsonString(mktName) + ",\"Mrgn\":\"1\",\"MrgnNm\":" + jsonString(QStringLiteral("信用")) + "}";
            };
            const QByteArray apiCode = jq::apiCode(code).toLatin1();
            const QString name = listing[i].name.trimmed();
            rows.push_back(row(apiCode, name, QStringLiteral("Demo ") + codeText(code)));
            if (!preferred && day < st.end[i]) {
                preferred = true;
                rows.push_back(row(apiCode.left(4) + '5', name + QStringLiteral("優先"),
                                   QStringLiteral("Demo ") + codeText(code) + QStringLiteral(" Preferred")));
            }
        }
        return list(rows, query, listQuery);
    }

    if (path == "/markets/calendar") {
        std::optional<QDate> from, to;
        if (!range(from, to)) return badRequest("The dates must be YYYYMMDD or YYYY-MM-DD.");
        // The whole calendar, days not yet served among them: the exchange publishes it ahead.
        const QDate first = std::max(from.value_or(cal.front()), cal.front());
        const QDate last = std::min(to.value_or(cal.back()), cal.back());
        for (QDate d = first; d <= last; d = d.addDays(1))
            rows.push_back("{\"Date\":\"" + isoDate(d) + "\",\"HolDiv\":\"" + (calendarIndex(d) >= 0 ? "1" : "0") + "\"}");
        return list(rows, query, listQuery);
    }

    if (path == "/indices/bars/daily/topix") {
        std::optional<QDate> from, to;
        if (!range(from, to)) return badRequest("The dates must be YYYYMMDD or YYYY-MM-DD.");
        const Store &st = store();
        if (st.index != SIZE_MAX)
            for (int day = std::max(0, st.first[st.index]); day < std::min(served, st.end[st.index]); ++day) {
                const QDate d = cal[size_t(day)];
                if ((from && d < *from) || (to && d > *to)) continue;
                const Bar &b = st.indexBars[size_t(day)];
                rows.push_back("{\"Date\":\"" + isoDate(d) + "\",\"O\":" + singleBytes(b.open) + ",\"H\":" + singleBytes(b.high) +
                               ",\"L\":" + singleBytes(b.low) + ",\"C\":" + singleBytes(b.close) + "}");
            }
        return list(rows, query, listQuery);
    }

    if (path == "/bulk/list") {
        if (query.value("endpoint") != kBulkEndpoint) return badRequest("Bulk files are offered for /equities/bars/daily only.");
        const std::vector<Month> all = months(served);
        const std::vector<qint64> sizes = monthSizes(all, served);
        for (size_t k = 0; k < all.size(); ++k)
            rows.push_back("{\"Key\":\"" + all[k].key + "\",\"LastModified\":\"" + isoDate(cal[size_t(all[k].end - 1)]) +
                           "T08:00:00Z\",\"Size\":" + QByteArray::number(sizes[k]) + "}");
        return list(rows, query, listQuery);
    }

    if (path == "/bulk/get") {
        const QByteArray key = query.value("key");
        for (const Month &m : months(served))
            if (m.key == key)
                return jsonReply(200, "{\"url\":\"http://127.0.0.1:" + QByteArray::number(m_server.serverPort()) + "/files/" + key + "\"}");
        return notFound();
    }

    return notFound();
}

void JQuantsTwin::onReadable(QTcpSocket *s)
{
    QByteArray &buffer = m_pending[s];
    buffer += s->readAll();
    // Keep-alive connections carry one request after another.
    for (qsizetype end = buffer.indexOf("\r\n\r\n"); end >= 0; end = buffer.indexOf("\r\n\r\n")) {
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        QHash<QByteArray, QByteArray> headers;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0) headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        // A body is read past, never used.
        const qint64 bodyBytes = headers.value("content-length").toLongLong();
        if (bodyBytes < 0 || bodyBytes > kMaxBodyBytes) {
            m_pending.remove(s);
            s->abort();
            return;
        }
        if (buffer.size() < end + 4 + bodyBytes) break;
        buffer.remove(0, end + 4 + bodyBytes);
        const QList<QByteArray> request = lines.front().trimmed().split(' ');
        const QByteArray method = request.value(0);
        const Reply r = respond(method, request.value(1), headers);
        QByteArray answer = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reasonOf(r.status) + "\r\n";
        for (const auto &[name, value] : r.headers) answer += name + ": " + value + "\r\n";
        answer += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n\r\n";
        s->write(answer + (method == "HEAD" ? QByteArray() : r.body));
        if (headers.value("connection").toLower() == "close") {
            m_pending.remove(s);
            s->disconnectFromHost();
            return;
        }
    }
    if (buffer.size() > kMaxHeadBytes && buffer.indexOf("\r\n\r\n") < 0) {
        m_pending.remove(s);
        s->abort();
    }
}

} // namespace velor::demo
