#include "db/Settings.h"

#include "common/Cp932.h"
#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/State.h"
#include "db/StockMaster.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <optional>

namespace velor {

QStringList splitSettingsFields(const QString &line)
{
    QStringList fields;
    QString cur;
    bool quoted = false, wasQuoted = false;
    for (QChar c : line) {
        if (c == '"') { quoted = !quoted; wasQuoted = true; continue; }
        if (c == ',' && !quoted) {
            fields << (wasQuoted ? cur : cur.trimmed());
            cur.clear();
            wasQuoted = false;
            continue;
        }
        if (wasQuoted && !quoted && c.isSpace()) continue;   // blanks after a closing quote
        if (!wasQuoted && cur.isEmpty() && c.isSpace()) continue;
        cur += c;
    }
    fields << (wasQuoted ? cur : cur.trimmed());
    return fields;
}

namespace {

// A whole number field; decimals are rounded as the original reader rounds (half to even).
std::optional<long long> wholeNumber(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > 9.2e18) return std::nullopt;
    return (long long)std::nearbyint(v);
}

class LineReader {
public:
    LineReader(const QStringList &lines) : m_lines(lines) {}
    bool next(int need) {
        if (m_pos >= m_lines.size()) return false;
        m_fields = splitSettingsFields(m_lines[m_pos++]);
        m_i = 0;
        return m_fields.size() >= need;
    }
    std::optional<int16_t> i16() {
        auto v = wholeNumber(m_fields.value(m_i++));
        if (!v || !fits16(*v)) return std::nullopt;
        return int16_t(*v);
    }
    std::optional<int32_t> i32() {
        auto v = wholeNumber(m_fields.value(m_i++));
        if (!v || *v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
        return int32_t(*v);
    }
    std::optional<double> dbl() {
        bool ok = false;
        const double v = m_fields.value(m_i++).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v)) return std::nullopt;
        return v;
    }
    QString text() { return m_fields.value(m_i++); }
    std::optional<QString> wholeLine() {
        if (m_pos >= m_lines.size()) return std::nullopt;
        return m_lines[m_pos++];
    }
private:
    QStringList m_lines;
    QStringList m_fields;
    int m_pos = 0, m_i = 0;
};

QString portableFolder(QString dir)
{
#ifndef Q_OS_WIN
    dir.replace('\\', '/');
#endif
    return dir;
}

} // namespace

std::expected<void, StartupMessage> parseSettings(const QByteArray &bytes, const QString &displayPath, State &st)
{
    const StartupMessage readError{QStringLiteral("初期設定ファイル：　") + displayPath +
                                       QStringLiteral(" の読み込み中にエラーが発生しました。終了します。"),
                                   Icon::Error, true};
    QStringList lines;
    for (const auto &l : splitLines(bytes)) lines << fromCp932(l);
    LineReader r(lines);
    auto fail = [&] { return std::unexpected(readError); };
#define VELOR_GET(dst, how) do { auto v_ = r.how(); if (!v_) return fail(); dst = *v_; } while (0)

    if (!r.next(1)) return fail();
    QString dataDir = portableFolder(r.text());
    if (dataDir.isEmpty()) return fail();
    if (QDir::isRelativePath(dataDir)) dataDir = st.ProgramDir + dataDir;
    st.DataDir = withTrailingSeparator(dataDir);

    if (!r.next(3)) return fail();
    VELOR_GET(st.MaWidth1, i16); VELOR_GET(st.MaWidth2, i16); VELOR_GET(st.DispBars, i16);
    if (st.MaWidth1 >= st.MaWidth2)
        return std::unexpected(StartupMessage{QStringLiteral("VELOR.iniにおける移動平均の幅のエラー"), Icon::None, true});

    if (!r.next(4)) return fail();
    int16_t unused16 = 0;
    VELOR_GET(st.AxisMode, i16); VELOR_GET(unused16, i16); VELOR_GET(st.RankRows, i16); VELOR_GET(st.IndicatorSel, i16);

    if (!r.next(3)) return fail();
    double unusedD = 0;
    VELOR_GET(st.VolWindow, i16); VELOR_GET(st.VolLimit, dbl); VELOR_GET(unusedD, dbl);

    if (!r.next(3)) return fail();
    VELOR_GET(st.FilterMinPrice, i32); VELOR_GET(st.FilterMaxPrice, i32); VELOR_GET(st.FilterTurnoverBase, dbl);
    if (st.FilterMinPrice >= st.FilterMaxPrice)
        return std::unexpected(StartupMessage{
            QStringLiteral("VELOR.iniにおけるリアルタイムのランキング／絞り込みの設定値が不適正です"), Icon::None, true});

    if (!r.next(6)) return fail();
    VELOR_GET(st.DoneSound, i16); VELOR_GET(st.RealSwitch, i16); VELOR_GET(st.RealMinPrice, i32);
    VELOR_GET(st.RealMaxPrice, i32); VELOR_GET(st.RealTurnoverBase, dbl); VELOR_GET(st.RealParam, i32);

    int16_t *periods[3][2] = {{&st.RsiPeriod1, &st.RsiPeriod2}, {&st.PsyPeriod1, &st.PsyPeriod2},
                              {&st.RciPeriod1, &st.RciPeriod2}};
    for (auto &pair : periods) {
        if (!r.next(4)) return fail();
        VELOR_GET(unused16, i16);
        (void)r.text();
        VELOR_GET(*pair[0], i16); VELOR_GET(*pair[1], i16);
    }
    for (auto &u : st.InfoUrl) VELOR_GET(u, wholeLine);
    for (auto &u : st.BrokerUrl) VELOR_GET(u, wholeLine);
    for (auto &u : st.FavoriteUrl) VELOR_GET(u, wholeLine);
#undef VELOR_GET
    (void)unused16; (void)unusedD;
    return {};
}

QString defaultBrowserPath()
{
#ifdef Q_OS_WIN
    const QStringList candidates = {QStringLiteral("C:\\Program Files (x86)\\Google\\Chrome\\Application\\chrome.exe"),
                                    QStringLiteral("C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe")};
#else
    const QStringList candidates = {QStringLiteral("/usr/bin/chromium"), QStringLiteral("/usr/bin/google-chrome")};
#endif
    for (const auto &c : candidates)
        if (FileExist(c)) return c;
    return candidates.back();
}

bool ReadSettings(State &st, Dialogs &dialogs)
{
    st.BrowserPath = defaultBrowserPath();
    st.MaxStocks = 4400;
    const QString path = QDir::toNativeSeparators(st.ProgramDir + QStringLiteral("VELOR.ini"));
    if (!FileExist(path)) {
        dialogs.message(QStringLiteral("初期設定ファイル：　") + path + QStringLiteral(" がありません。終了します。"));
        return false;
    }
    auto bytes = readBytes(path, 1 << 20);
    if (!bytes) {
        dialogs.message(QStringLiteral("初期設定ファイル：　") + path +
                            QStringLiteral(" の読み込み中にエラーが発生しました。終了します。"),
                        Icon::Error);
        return false;
    }
    if (auto ok = parseSettings(*bytes, path, st); !ok) {
        dialogs.message(ok.error().text, ok.error().icon);
        return false;
    }
    st.MasterPath = st.DataDir + QStringLiteral("meigara.dat");
    st.LogPath = st.DataDir + QStringLiteral("VELOR.log");
    if (!FolderExist(st.DataDir)) {
        dialogs.message(QStringLiteral("株価データフォルダ：　") + st.DataDir + QStringLiteral(" がありません。終了します。"));
        return false;
    }
    if (!FileExist(st.MasterPath)) {
        // A FIFO or a folder standing there is no missing file: saying so sends the user looking
        // in the wrong place.
        const bool there = QFileInfo(st.MasterPath).exists();
        dialogs.message(QStringLiteral("銘柄ファイル：　") + st.MasterPath +
                        (there ? QStringLiteral(" は通常のファイルではありません。終了します。")
                               : QStringLiteral(" がありません。終了します。")));
        return false;
    }
    if (auto header = readMasterHeader(st.MasterPath); header && header->StockCount > st.MaxStocks)
        dialogs.message(QStringLiteral("銘柄総数が許容値を超えました。"), Icon::Warning);
    return true;
}

} // namespace velor
