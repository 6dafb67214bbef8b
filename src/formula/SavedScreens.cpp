#include "formula/SavedScreens.h"

#include "common/Cp932.h"
#include "common/TextFile.h"

#include <QDir>
#include <QFileInfo>

namespace velor {

namespace {

const QChar kTab(u'\t');

// Names the screen command gives its own meaning; a saved screen may not take them.
bool reservedName(const QString &name)
{
    static const QStringList names = {
        QStringLiteral("ranking"), QStringLiteral("toujitu"), QStringLiteral("haba"), QStringLiteral("shinki"),
        QStringLiteral("rsi"), QStringLiteral("rci"), QStringLiteral("kairi"), QStringLiteral("psyc"),
        QStringLiteral("per"), QStringLiteral("pbr"), QStringLiteral("eps"), QStringLiteral("bps"),
        QStringLiteral("shinyou"), QStringLiteral("haitou"), QStringLiteral("skd"), QStringLiteral("minkabu"),
        QStringLiteral("minkabu2"), QStringLiteral("j"), QStringLiteral("jvol"), QStringLiteral("save"),
        QStringLiteral("delete"), QStringLiteral("list")};
    return names.contains(name.toLower());
}

// A formula kept on one line: line ends and tabs inside it are blanks to the language anyway.
QString oneLine(const QString &text)
{
    QString t = text;
    for (QChar &c : t)
        if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    return t.trimmed();
}

} // namespace

QString scopeWord(ScreenScope s)
{
    switch (s) {
    case ScreenScope::Market: return QStringLiteral("all");
    case ScreenScope::WorkingSet: return QStringLiteral("working");
    case ScreenScope::List1: return QStringLiteral("1");
    case ScreenScope::List2: return QStringLiteral("2");
    case ScreenScope::List3: return QStringLiteral("3");
    }
    return {};
}

std::optional<ScreenScope> scopeFromWord(const QString &word)
{
    for (ScreenScope s : {ScreenScope::Market, ScreenScope::WorkingSet, ScreenScope::List1, ScreenScope::List2,
                          ScreenScope::List3})
        if (scopeWord(s) == word) return s;
    return std::nullopt;
}

QString SavedScreens::pathIn(const QString &programDir) { return QDir(programDir).filePath(QStringLiteral("formulas.dat")); }

std::optional<QString> SavedScreens::nameProblem(const QString &name)
{
    if (name.trimmed().isEmpty()) return QStringLiteral("名前がありません");
    if (name != name.trimmed()) return QStringLiteral("名前の前後に空白は置けません");
    if (name.size() > kMaxScreenName)
        return QStringLiteral("名前が長すぎます（") + QString::number(kMaxScreenName) + QStringLiteral(" 文字まで）");
    for (QChar c : name)
        if (c.unicode() < 0x20 || c == u'\x7f') return QStringLiteral("名前にタブや改行は使えません");
    if (fromCp932(toCp932(name)) != name) return QStringLiteral("名前に保存できない文字があります");
    if (name.startsWith(u'-')) return QStringLiteral("名前を「-」で始めることはできません");
    if (reservedName(name)) return QStringLiteral("「") + name + QStringLiteral("」は組み込みの検索の名前です");
    return std::nullopt;
}

QString SavedScreens::lineOf(const FormulaScreenText &s)
{
    return s.name + kTab + oneLine(s.filter) + kTab + oneLine(s.score) + kTab +
           (s.bottom ? QStringLiteral("bottom") : QStringLiteral("top")) + kTab + QString::number(s.rows) + kTab +
           scopeWord(s.scope);
}

std::optional<FormulaScreenText> SavedScreens::parseLine(const QString &line)
{
    const QStringList f = line.split(kTab);
    if (f.size() < 2 || f.size() > 6) return std::nullopt;
    FormulaScreenText s;
    s.name = f[0];
    if (nameProblem(s.name)) return std::nullopt;
    s.filter = f[1].trimmed();
    if (s.filter.isEmpty()) return std::nullopt;
    if (f.size() > 2) s.score = f[2].trimmed();
    if (f.size() > 3) {
        if (f[3] != u"top" && f[3] != u"bottom") return std::nullopt;
        s.bottom = f[3] == u"bottom";
    }
    if (f.size() > 4) {
        bool ok = false;
        s.rows = f[4].toInt(&ok);
        if (!ok || s.rows < 0 || s.rows > kMaxFormulaRows) return std::nullopt;
    }
    if (f.size() > 5) {
        const auto scope = scopeFromWord(f[5]);
        if (!scope) return std::nullopt;
        s.scope = *scope;
    }
    return s;
}

std::expected<SavedScreens, QString> SavedScreens::load(const QString &path)
{
    SavedScreens out;
    if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink()) return out;
    const auto bytes = readBytes(path, qint64(1) << 24);
    if (!bytes) return std::unexpected(bytes.error());
    for (const QByteArray &raw : splitLines(withoutByteOrderMark(*bytes))) {
        Line l{raw};
        const auto s = parseLine(fromCp932(raw));
        // A second line of the same name is kept as it is but not offered: names are unique.
        if (s && !out.find(s->name)) {
            l.screen = int(out.m_screens.size());
            out.m_screens.push_back(*s);
        }
        out.m_lines.push_back(l);
    }
    return out;
}

const FormulaScreenText *SavedScreens::find(const QString &name) const
{
    for (const FormulaScreenText &s : m_screens)
        if (s.name == name) return &s;
    return nullptr;
}

void SavedScreens::put(const FormulaScreenText &s)
{
    for (FormulaScreenText &old : m_screens)
        if (old.name == s.name) {
            old = s;
            return;
        }
    m_lines.push_back(Line{{}, int(m_screens.size())});
    m_screens.push_back(s);
}

bool SavedScreens::remove(const QString &name)
{
    int idx = -1;
    for (size_t i = 0; i < m_screens.size(); ++i)
        if (m_screens[i].name == name) idx = int(i);
    if (idx < 0) return false;
    m_screens.erase(m_screens.begin() + idx);
    std::erase_if(m_lines, [idx](const Line &l) { return l.screen == idx; });
    for (Line &l : m_lines)
        if (l.screen > idx) --l.screen;
    return true;
}

QByteArray SavedScreens::bytes() const
{
    QByteArray out;
    for (const Line &l : m_lines) {
        out += l.screen >= 0 ? toCp932(lineOf(m_screens[size_t(l.screen)])) : l.raw;
        out += "\r\n";
    }
    return out;
}

std::expected<void, QString> SavedScreens::save(const QString &path) const { return saveBytes(path, bytes()); }

std::vector<FormulaScreenText> exampleScreens(int rsi, int rci, int kairi, int psy)
{
    std::vector<FormulaScreenText> out;
    auto add = [&out](const QString &name, const QString &filter, const QString &score, bool bottom) {
        FormulaScreenText s;
        s.name = name, s.filter = filter, s.score = score, s.bottom = bottom;
        out.push_back(s);
    };
    // Each oscillator as its built-in screen lists it: the stocks above (below) the neutral value,
    // and the same weighted by the volume's rise over the bar before.
    struct Osc {
        const char16_t *name;
        QString call;
        const char *neutral;
        bool volume;
    };
    const Osc oscs[] = {{u"RSI", QStringLiteral("RSI(%1)").arg(rsi), "0.5", true},
                        {u"RCI", QStringLiteral("RCI(%1)").arg(rci), "0", true},
                        {u"乖離率", QStringLiteral("KAIRI(%1)").arg(kairi), "1", false},
                        {u"サイコロジカル", QStringLiteral("PSY(%1)").arg(psy), "0.5", false}};
    for (const Osc &o : oscs) {
        const QString name = QString::fromUtf16(o.name), neutral = QString::fromLatin1(o.neutral);
        add(name + QStringLiteral("大"), o.call + QStringLiteral(" > ") + neutral, o.call, false);
        add(name + QStringLiteral("小"), o.call + QStringLiteral(" < ") + neutral, o.call, true);
        if (!o.volume) continue;
        const QString weighted = QStringLiteral("V * ") + o.call + QStringLiteral(" / V[1]");
        add(name + QStringLiteral("大×出来高上昇率"), weighted + QStringLiteral(" > ") + neutral, weighted, false);
        add(name + QStringLiteral("小×出来高上昇率"), weighted + QStringLiteral(" < ") + neutral, weighted, true);
    }
    add(QStringLiteral("当日上昇率大"), QStringLiteral("C / O > 1"), QStringLiteral("C / O"), false);
    add(QStringLiteral("当日上昇率小"), QStringLiteral("C / O < 1"), QStringLiteral("C / O"), true);
    add(QStringLiteral("当日上昇率×出来高上昇率大"), QStringLiteral("O > 0"), QStringLiteral("V * (C / O) / V[1]"), false);
    add(QStringLiteral("当日上昇率×出来高上昇率小"), QStringLiteral("O > 0"), QStringLiteral("V * (C / O) / V[1]"), true);
    // The range screens (値幅率 0-3), each with its volume-weighted list.
    const QString ranges[] = {QStringLiteral("(H - L) / C"), QStringLiteral("(H - L) / C * V"),
                              QStringLiteral("(HHV(H,2) - LLV(L,2)) / C * V"), QStringLiteral("(H - L) * V")};
    for (int v = 0; v < 4; ++v) {
        const QString name = QStringLiteral("値幅率") + QString::number(v);
        add(name, QStringLiteral("C > 0"), ranges[v], false);
        add(name + QStringLiteral("×出来高上昇率"), QStringLiteral("C > 0"),
            QStringLiteral("V * (") + ranges[v] + QStringLiteral(") / V[1]"), false);
    }
    add(QStringLiteral("25日線上抜け出来高急増"), QStringLiteral("CROSS(C, MA(C,25)) AND V > MA(V,5)*2"), QString(), false);
    return out;
}

} // namespace velor
