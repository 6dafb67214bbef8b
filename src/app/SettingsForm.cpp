#include "app/SettingsForm.h"

#include "chart/ChartGeometry.h"
#include "common/Cp932.h"
#include "common/NumText.h"
#include "common/StockCode.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/Settings.h"
#include "db/Sites.h"
#include "db/State.h"

#include <QRegularExpression>
#include <algorithm>
#include <QUrl>
#include <cmath>

namespace velor {

namespace {

const QString kSiteGroup = QStringLiteral("株価データのサイト");
const QString kPageGroup = QStringLiteral("ページのアドレス");
const QString kFetchGroup = QStringLiteral("ページの読み込み");
const QString kChartGroup = QStringLiteral("チャート");
const QString kRankGroup = QStringLiteral("ランキングと絞り込み");
const QString kRealGroup = QStringLiteral("リアルタイム急騰急落");
const QString kPeriodGroup = QStringLiteral("指標の期間");

constexpr double kMaxYen = 1e15;         // far above any market's turnover, well inside a double's digits
constexpr double kMaxPrice = 99999999;   // a 32-bit field; no share trades near it

SettingField address(const char *key, const char16_t *label, const QString &group, const QString &testPath = {},
                    SettingKind kind = SettingKind::Address)
{
    SettingField s;
    s.id = QString::fromLatin1(key);
    s.label = QString::fromUtf16(label);
    s.group = group;
    s.kind = kind;
    s.testPath = testPath;
    return s;
}

SettingField choice(const char *key, const char16_t *label, const QString &group, QStringList choices)
{
    SettingField s = address(key, label, group, {}, SettingKind::Choice);
    s.choices = std::move(choices);
    return s;
}

SettingField value(const char *id, const char16_t *label, const QString &group, SettingKind kind, int line, int field,
                  double min, double max)
{
    SettingField s;
    s.id = QString::fromLatin1(id);
    s.label = QString::fromUtf16(label);
    s.group = group;
    s.kind = kind;
    s.line = line;
    s.field = field;
    s.min = min;
    s.max = max;
    return s;
}

// Digits grouped by threes, as the window shows amounts ("100,000,000").
QString grouped(double v)
{
    QString digits = QString::number(v, 'f', 0);
    for (qsizetype at = digits.size() - 3; at > (digits.startsWith('-') ? 1 : 0); at -= 3) digits.insert(at, ',');
    return digits;
}

// A typed number as plain text: full-width digits and signs as half-width, separators and blanks gone.
QString plainNumber(const QString &typed)
{
    QString t = typed.normalized(QString::NormalizationForm_KC);
    t.remove(',');
    return t.trimmed();
}

std::optional<double> numberOf(const SettingField &s, const QString &typed)
{
    const QString t = plainNumber(typed);
    if (s.kind == SettingKind::Amount) {
        bool ok = false;
        const double v = t.toDouble(&ok);
        if (!ok || !std::isfinite(v)) return std::nullopt;
        return v;
    }
    // A whole number, also as the reader at start-up takes it ("20.0"), never a fraction.
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > 1e12 || v != std::floor(v)) return std::nullopt;
    return v;
}

// The text written for a value that passed its check.
QString storedText(const SettingField &s, const QString &typed)
{
    if (s.isAddress()) return typed.trimmed();
    if (s.kind == SettingKind::Choice) return typed.trimmed().toLower();
    const double v = *numberOf(s, typed);
    return s.kind == SettingKind::Amount ? doubleText(v) : QString::number((long long)v);
}

QString addressProblem(const QString &typed)
{
    const QString t = typed.trimmed();
    if (t.isEmpty()) return {};
    const QUrl url(t, QUrl::StrictMode);
    const QString scheme = url.scheme();
    const bool web = (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
    const bool file = scheme == QLatin1String("file") && !url.path().isEmpty();
    if (t.contains(QRegularExpression(QStringLiteral("\\s"))) || !url.isValid() || !(web || file))
        return QStringLiteral("http:// か https:// か file:// で始まるアドレスを入れてください（空白は使えません）。");
    return {};
}

QString rangeProblem(const SettingField &s, const QString &typed)
{
    const auto v = numberOf(s, typed);
    if (s.kind == SettingKind::Amount) {
        if (!v || *v < s.min || *v > s.max) return QStringLiteral("0 以上の金額（円）を数字で入れてください。");
        return {};
    }
    if (!v || *v < s.min || *v > s.max)
        return grouped(s.min) + QStringLiteral(" から ") + grouped(s.max) + QStringLiteral(" までの整数を入れてください。");
    return {};
}

int indexOf(const QString &id)
{
    const auto &all = settingFields();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].id == id) return int(i);
    return -1;
}

// [start, end) of each field of a VELOR.ini line: commas outside double quotes separate. Commas,
// quotes and blanks are single bytes in CP932 and never the second byte of a character.
std::vector<std::pair<qsizetype, qsizetype>> fieldSpans(const QByteArray &line)
{
    std::vector<std::pair<qsizetype, qsizetype>> spans;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        else if (line[i] == ',' && !quoted) {
            spans.push_back({start, i});
            start = i + 1;
        }
    }
    spans.push_back({start, line.size()});
    return spans;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QString settingsPath(const QString &programDir) { return pathIn(programDir, QStringLiteral("VELOR.ini")); }
QString sitesPath(const QString &programDir) { return pathIn(programDir, QStringLiteral("sites.ini")); }

// The values of VELOR.ini a save changed, from the file as loading reads it.
void copyChanged(State &st, const State &fresh, const QStringList &changed)
{
#define VELOR_COPY(name) if (changed.contains(QStringLiteral(#name))) st.name = fresh.name
    VELOR_COPY(MaWidth1); VELOR_COPY(MaWidth2); VELOR_COPY(DispBars); VELOR_COPY(RankRows);
    VELOR_COPY(VolWindow); VELOR_COPY(VolLimit);
    VELOR_COPY(FilterMinPrice); VELOR_COPY(FilterMaxPrice); VELOR_COPY(FilterTurnoverBase);
    VELOR_COPY(DoneSound); VELOR_COPY(RealMinPrice); VELOR_COPY(RealMaxPrice); VELOR_COPY(RealTurnoverBase);
    VELOR_COPY(RsiPeriod1); VELOR_COPY(RsiPeriod2); VELOR_COPY(PsyPeriod1); VELOR_COPY(PsyPeriod2);
    VELOR_COPY(RciPeriod1); VELOR_COPY(RciPeriod2);
#undef VELOR_COPY
}

bool sameValue(const SettingField &s, const QString &stored, const QString &typed)
{
    if (s.isAddress()) return stored.trimmed() == typed.trimmed();
    if (s.kind == SettingKind::Choice) return stored.trimmed().toLower() == typed.trimmed().toLower();
    const auto a = numberOf(s, stored), b = numberOf(s, typed);
    if (s.kind == SettingKind::Flag) return a && b && (*a != 0) == (*b != 0);
    return a && b && *a == *b;
}

} // namespace

const std::vector<SettingField> &settingFields()
{
    using K = SettingKind;
    static const std::vector<SettingField> fields = {
        address("DataSiteUrl", u"株価データのサイト（トップページ）", kSiteGroup),
        address("NameListUrl", u"銘柄名の一覧（CSV：コード,銘柄名[,部]）", kSiteGroup, {}, K::List),
        address("SplitListUrl", u"株式分割・併合の一覧（CSV）", kSiteGroup, {}, K::List),
        choice("PriceSource", u"株価の取得元（site：上のサイト、jquants：J-Quants API）", kSiteGroup,
               {QStringLiteral("site"), QStringLiteral("jquants")}),
        address("JQuantsBaseUrl", u"J-Quants API のアドレス", kSiteGroup, QStringLiteral("/markets/calendar")),
        choice("JQuantsPlan", u"J-Quants のプラン（free、light、standard、premium）", kSiteGroup,
               {QStringLiteral("free"), QStringLiteral("light"), QStringLiteral("standard"), QStringLiteral("premium")}),
        address("QuoteUrl", u"個別銘柄の株価ページ", kPageGroup, QStringLiteral("/quote/{code}.T")),
        address("FuturesUrl", u"日経平均先物のページ", kPageGroup, QStringLiteral("/cme/")),
        address("WorldIndexUrl", u"世界の株価指数のページ", kPageGroup, QStringLiteral("/bp1.php?fw=160&cs=1")),
        address("TargetPriceUrl", u"目標株価のページ", kPageGroup, QStringLiteral("/stock/{code}")),
        address("StockDetailUrl", u"ボタン「Y!」のページ", kPageGroup),
        address("BrokerQuoteUrl", u"ボタン「楽」のページ", kPageGroup),
        address("AnalysisUrl", u"ボタン「み」のページ", kPageGroup),
        address("CompanyUrl", u"ボタン「四」のページ", kPageGroup),
        address("HomePageUrl", u"VELOR のホームページ", kPageGroup),
        value("FetchTimeoutSeconds", u"応答を待つ時間（秒）", kFetchGroup, K::Count, 0, 0, 1, 600),
        value("MaxConnections", u"同時に読むページの数", kFetchGroup, K::Count, 0, 0, 1, 32),
        value("MaWidth1", u"短期移動平均の本数", kChartGroup, K::Count, 2, 0, 1, 300),
        value("MaWidth2", u"長期移動平均の本数", kChartGroup, K::Count, 2, 1, 1, 300),
        value("DispBars", u"チャートに表示する本数", kChartGroup, K::Count, 2, 2, kMinDispBars, kMaxDispBars),
        value("VolWindow", u"出来高制限の対象の本数", kChartGroup, K::Count, 4, 0, 1, 300),
        value("VolLimit", u"出来高制限の売買代金（円）", kChartGroup, K::Amount, 4, 1, 0, kMaxYen),
        value("RankRows", u"ランキングの行数", kRankGroup, K::Count, 3, 2, 1, 1000),
        value("FilterMinPrice", u"絞り込みの最低株価（円）", kRankGroup, K::Count, 5, 0, 0, kMaxPrice),
        value("FilterMaxPrice", u"絞り込みの最高株価（円）", kRankGroup, K::Count, 5, 1, 1, kMaxPrice),
        value("FilterTurnoverBase", u"絞り込みの売買代金の下限（円）", kRankGroup, K::Amount, 5, 2, 0, kMaxYen),
        value("DoneSound", u"取り込みとランキングの終わりに DONE.wav を鳴らす", kRankGroup, K::Flag, 6, 0, 0, 1),
        value("RealMinPrice", u"最低株価（円）", kRealGroup, K::Count, 6, 2, 0, kMaxPrice),
        value("RealMaxPrice", u"最高株価（円）", kRealGroup, K::Count, 6, 3, 1, kMaxPrice),
        value("RealTurnoverBase", u"売買代金の下限（円）", kRealGroup, K::Amount, 6, 4, 0, kMaxYen),
        value("RsiPeriod1", u"RSI の期間（短）", kPeriodGroup, K::Count, 7, 2, 2, 300),
        value("RsiPeriod2", u"RSI の期間（長）", kPeriodGroup, K::Count, 7, 3, 2, 300),
        value("RciPeriod1", u"RCI の期間（短）", kPeriodGroup, K::Count, 9, 2, 2, 300),
        value("RciPeriod2", u"RCI の期間（長）", kPeriodGroup, K::Count, 9, 3, 2, 300),
        value("PsyPeriod1", u"サイコロジカルの期間（短）", kPeriodGroup, K::Count, 8, 2, 1, 300),
        value("PsyPeriod2", u"サイコロジカルの期間（長）", kPeriodGroup, K::Count, 8, 3, 1, 300),
    };
    return fields;
}

std::expected<QStringList, QString> readSettingValues(const QString &programDir)
{
    const QString iniPath = settingsPath(programDir);
    auto bytes = readBytes(iniPath, 1 << 20);
    if (!bytes) return std::unexpected(bytes.error());
    const QList<QByteArray> lines = splitLines(withoutByteOrderMark(*bytes));
    const QHash<QString, QString> sites = readSitesKeys(sitesPath(programDir));
    const Sites defaults;
    QStringList values;
    for (const SettingField &s : settingFields()) {
        if (s.inSites()) {
            QString v = sites.value(s.id);
            if (v.isEmpty() && s.id == QLatin1String("FetchTimeoutSeconds")) v = QString::number(defaults.FetchTimeoutSeconds);
            if (v.isEmpty() && s.id == QLatin1String("MaxConnections")) v = QString::number(defaults.MaxConnections);
            values << v;
            continue;
        }
        const QStringList fields = splitSettingsFields(fromCp932(lines.value(s.line - 1)));
        if (s.line > lines.size() || s.field >= fields.size())
            return std::unexpected(QStringLiteral("初期設定ファイル：　") + iniPath +
                                   QStringLiteral(" の %1 行目が読めません。").arg(s.line));
        values << fields[s.field];
    }
    return values;
}

std::vector<SettingProblem> checkSettingValues(const QStringList &values)
{
    std::vector<SettingProblem> problems;
    const auto &fields = settingFields();
    for (size_t i = 0; i < fields.size(); ++i) {
        const QString typed = values.value(int(i));
        const SettingField &f = fields[i];
        const QString p = f.kind == SettingKind::Choice
                              ? (typed.trimmed().isEmpty() || f.choices.contains(typed.trimmed().toLower())
                                     ? QString()
                                     : f.choices.join(QStringLiteral("、")) + QStringLiteral(" のどれかを入れてください。"))
                          : f.isAddress() ? addressProblem(typed)
                                          : rangeProblem(fields[i], typed);
        if (!p.isEmpty()) problems.push_back({int(i), p});
    }
    // Pairs whose order matters, checked when both are numbers in range.
    const struct { const char *low, *high; const char16_t *text; } pairs[] = {
        {"MaWidth1", "MaWidth2", u"短期移動平均の本数（%1）より大きくしてください。"},
        {"FilterMinPrice", "FilterMaxPrice", u"絞り込みの最低株価（%1）より大きくしてください。"},
        {"RealMinPrice", "RealMaxPrice", u"最低株価（%1）より大きくしてください。"},
    };
    const auto bad = [&](int index) {
        return std::any_of(problems.begin(), problems.end(), [index](const SettingProblem &p) { return p.index == index; });
    };
    for (const auto &pr : pairs) {
        const int lo = indexOf(QString::fromLatin1(pr.low)), hi = indexOf(QString::fromLatin1(pr.high));
        if (bad(lo) || bad(hi)) continue;
        const double a = *numberOf(fields[size_t(lo)], values.value(lo)), b = *numberOf(fields[size_t(hi)], values.value(hi));
        if (a >= b) problems.push_back({hi, QString::fromUtf16(pr.text).arg(grouped(a))});
    }
    std::sort(problems.begin(), problems.end(), [](const SettingProblem &x, const SettingProblem &y) { return x.index < y.index; });
    return problems;
}

std::expected<QByteArray, QString> withSettingsFields(const QByteArray &bytes, const std::vector<SettingsFieldChange> &changes)
{
    QList<QByteArray> lines = bytes.split('\n');
    for (const SettingsFieldChange &c : changes) {
        if (c.line < 1 || c.line > lines.size())
            return std::unexpected(QStringLiteral("初期設定ファイルに %1 行目がありません。").arg(c.line));
        QByteArray &whole = lines[c.line - 1];
        const bool cr = whole.endsWith('\r');
        QByteArray line = cr ? whole.chopped(1) : whole;
        const auto spans = fieldSpans(line);
        if (c.field < 0 || c.field >= int(spans.size()))
            return std::unexpected(QStringLiteral("初期設定ファイルの %1 行目に %2 番目の値がありません。").arg(c.line).arg(c.field + 1));
        auto [start, end] = spans[size_t(c.field)];
        while (start < end && isBlank(line[start])) ++start;
        while (end > start && isBlank(line[end - 1])) --end;
        line.replace(start, end - start, c.text);
        whole = cr ? line + '\r' : line;
    }
    return lines.join('\n');
}

std::expected<QStringList, QString> saveSettingValues(State &st, const QStringList &values)
{
    if (const auto problems = checkSettingValues(values); !problems.empty())
        return std::unexpected(settingFields()[size_t(problems.front().index)].label + QStringLiteral("：　") + problems.front().text);
    auto stored = readSettingValues(st.ProgramDir);
    if (!stored) return std::unexpected(stored.error());
    QList<std::pair<QString, QString>> siteKeys;
    std::vector<SettingsFieldChange> fields;
    QStringList changed;
    const auto &all = settingFields();
    for (size_t i = 0; i < all.size(); ++i) {
        const SettingField &s = all[i];
        if (sameValue(s, stored->value(int(i)), values.value(int(i)))) continue;
        const QString text = storedText(s, values.value(int(i)));
        if (s.inSites()) siteKeys.append({s.id, text});
        else fields.push_back({s.line, s.field, toCp932(text)});
        changed << s.id;
    }
    // VELOR.ini is made and read back first: a file loading would refuse is never written.
    const QString iniPath = settingsPath(st.ProgramDir);
    QByteArray newIni;
    State fresh;
    if (!fields.empty()) {
        auto old = readBytes(iniPath, 1 << 20);
        if (!old) return std::unexpected(old.error());
        auto made = withSettingsFields(*old, fields);
        if (!made) return std::unexpected(made.error());
        newIni = *made;
        fresh.ProgramDir = st.ProgramDir;
        if (auto ok = parseSettings(newIni, iniPath, fresh); !ok) return std::unexpected(ok.error().text);
    }
    if (!siteKeys.isEmpty()) {
        if (auto r = setSitesKeys(sitesPath(st.ProgramDir), siteKeys); !r) return std::unexpected(r.error());
        st.sites = readSites(sitesPath(st.ProgramDir));
    }
    if (!fields.empty()) {
        if (auto r = saveBytes(iniPath, newIni); !r) return std::unexpected(r.error());
        copyChanged(st, fresh, changed);
    }
    return changed;
}

QString connectionAddress(const SettingField &plan, const QString &value, int code)
{
    QString path = plan.testPath;
    path.replace(QStringLiteral("{code}"), codeText(code));
    return joinAddress(value.trimmed(), path);
}

QString connectionText(const std::expected<QByteArray, NetError> &page)
{
    if (page) return QStringLiteral("応答がありました（") + grouped(double(page->size())) + QStringLiteral(" バイト）。");
    const NetError &e = page.error();
    if (e.notFound) return QStringLiteral("ページがありません（") + e.reason + QStringLiteral("）。");
    return QStringLiteral("読めませんでした（") + e.reason + QStringLiteral("）。");
}

} // namespace velor
