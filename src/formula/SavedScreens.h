#pragma once
// The user's own screens (自作スクリーニング) as text: a filter and a score formula with their
// options, kept by name in formulas.dat beside VELOR.ini, and the built-in screens written as such.
#include <QByteArray>
#include <QString>
#include <expected>
#include <optional>
#include <vector>

namespace velor {

/// Which stocks a formula screen examines.
enum class ScreenScope { Market, WorkingSet, List1, List2, List3 };

/// A formula screen as the user writes it (and as formulas.dat keeps it).
struct FormulaScreenText {
    QString name;          ///< empty for a screen run without saving
    QString filter;
    QString score;         ///< empty: the turnover (C × V), largest first unless bottom
    bool bottom = false;   ///< the lowest scores first
    int rows = 0;          ///< 0: the rows of the built-in screens (RankRows)
    ScreenScope scope = ScreenScope::Market;
};

/// The score used when none is written.
inline constexpr char16_t kDefaultScore[] = u"TURNOVER";
/// Most rows a formula screen shows.
constexpr int kMaxFormulaRows = 1000;
/// Longest name of a saved screen, in characters.
constexpr int kMaxScreenName = 40;

/// The scope's word in formulas.dat and on the command line: all, working, 1, 2, 3.
QString scopeWord(ScreenScope s);
std::optional<ScreenScope> scopeFromWord(const QString &word);

/// formulas.dat: one screen a line, fields separated by tabs (name, filter, score, top|bottom,
/// rows, scope), CP932 with CR LF. Lines it cannot read (comments, hand edits) are kept byte for
/// byte and in place whenever the file is rewritten.
class SavedScreens {
public:
    /// The file beside VELOR.ini.
    static QString pathIn(const QString &programDir);
    /// Reads the file; a missing file is an empty list, an unreadable one an error.
    static std::expected<SavedScreens, QString> load(const QString &path);

    const std::vector<FormulaScreenText> &screens() const { return m_screens; }
    const FormulaScreenText *find(const QString &name) const;
    /// A name that can be saved, or the reason it cannot (empty, too long, a tab, no CP932 form,
    /// the name of a built-in screen).
    static std::optional<QString> nameProblem(const QString &name);
    /// Adds the screen, or replaces the one of the same name in its line.
    void put(const FormulaScreenText &s);
    /// Removes the named screen; false when there is none.
    bool remove(const QString &name);
    /// The file's bytes.
    QByteArray bytes() const;
    /// Writes the file (checked write).
    std::expected<void, QString> save(const QString &path) const;

    /// One screen's line (without CR LF); nullopt for a line that is not a screen.
    static QString lineOf(const FormulaScreenText &s);
    static std::optional<FormulaScreenText> parseLine(const QString &line);

private:
    struct Line {
        QByteArray raw;   ///< kept as read when it is not a screen
        int screen = -1;  ///< index into m_screens
    };
    std::vector<Line> m_lines;
    std::vector<FormulaScreenText> m_screens;
};

/// The built-in price and indicator screens written as formulas, named after them; the demo
/// folder's formulas.dat starts with these. `rsi`, `rci`, `kairi` and `psy` are the periods of
/// VELOR.ini the built-in screens read (RsiPeriod1, RciPeriod1, MaWidth2, PsyPeriod1).
std::vector<FormulaScreenText> exampleScreens(int rsi, int rci, int kairi, int psy);

} // namespace velor
