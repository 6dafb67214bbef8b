#pragma once
// What the list logic needs of the main window's stock list, its label, the code field and
// the volume-limit caption. The window adapts its widgets; commands and tests keep text.
#include "db/Services.h"
#include "db/State.h"

#include <QString>
#include <QStringList>

namespace velor {

class ListView {
public:
    virtual ~ListView() = default;
    /// Replaces all rows of the list.
    virtual void setLines(const QStringList &lines) = 0;
    /// Sets the caption of the label above the list and repaints it at once.
    virtual void setLabel(const QString &text) = 0;
    /// The selected row (rows count from 0), -1 when none.
    virtual int currentRow() const = 0;
    virtual void setCurrentRow(int row) = 0;
    virtual int rowCount() const = 0;
    virtual QString rowText(int row) const = 0;
    /// The text of the code field.
    virtual void setCodeText(const QString &text) = 0;
    virtual QString codeText() const = 0;
    /// The caption of the volume-limit toolbar button.
    virtual void setVolumeCaption(const QString &text) = 0;
};

/// A list held as text: for commands and tests.
class MemoryListView final : public ListView {
public:
    void setLines(const QStringList &lines) override { this->lines = lines; row = -1; }
    void setLabel(const QString &text) override { label = text; }
    int currentRow() const override { return row; }
    void setCurrentRow(int r) override { row = r; }
    int rowCount() const override { return int(lines.size()); }
    QString rowText(int r) const override { return r >= 0 && r < lines.size() ? lines[r] : QString(); }
    void setCodeText(const QString &text) override { code = text; }
    QString codeText() const override { return code; }
    void setVolumeCaption(const QString &text) override { volumeCaption = text; }

    QStringList lines;
    QString label, code, volumeCaption;
    int row = -1;
};

/// Everything the list operations work on: the state, the seams and the list on screen.
struct Lists {
    State &st;
    Services &sv;
    ListView &view;
};

/// The master entry of a code, 0 when the master does not hold it (or it is no code at all).
int entryOf(const State &st, long long code);
/// The leading number of a text as a plain conversion reads it: blanks, an optional sign,
/// then digits ("1301 abc" -> 1301, "" -> 0, "x1" -> 0).
long long leadingNumber(QStringView text);
/// What a list line holds, as a number: a code of digits and any other number as itself, a code
/// with letters as kListLetter + its code, above every number a line can spell, so that a
/// line "25000" is never taken for a code with letters.
constexpr long long kListLetter = 1LL << 50;
long long listValue(int code);
/// The stock code of a list value, 0 when it is none.
int listCode(long long value);
/// The list value at the start of a line: after blanks, a code with letters standing alone
/// ("130A", "130A,…", "130A 名前") or else the leading number as leadingNumber reads it.
long long leadingCode(QStringView text);
/// The stock code a list row starts with, 0 when it starts with none.
int codeOfLine(QStringView text);
/// A list value as a list line holds it: blank, the code's or number's text, blank
/// (" 1301 ", " 130A ").
QString listForm(long long value);

} // namespace velor
