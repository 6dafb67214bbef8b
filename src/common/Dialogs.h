#pragma once
// Every message box and file dialog goes through here, so tests can script the answers.
#include <QString>
#include <QStringList>

namespace velor {

enum class Icon { None, Information, Question, Warning, Error };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    /// Shows a modal message; returns the button chosen.
    virtual Answer message(const QString &text, Icon icon = Icon::None, const QString &caption = {},
                           Buttons buttons = Buttons::Ok) = 0;
    /// A message about how a run went: `failed` when it ended without doing what was asked, else
    /// it went on and skipped something. The window shows `icon`; the command line says error or
    /// warning from `failed` alone, so that its exit code and its words agree.
    virtual Answer report(const QString &text, Icon icon, bool /*failed*/) { return message(text, icon); }
    /// Asks for a file to open; empty when cancelled.
    virtual QString openFile(const QString &title, const QString &startDir, const QString &filter) = 0;
    /// Asks for a file to save to; empty when cancelled.
    virtual QString saveFile(const QString &title, const QString &startPath, const QString &filter) = 0;
};

/// For commands: messages go to standard error as "error: …", "warning: …" or "info: …";
/// questions are answered Yes/OK only when `assumeYes`; file dialogs are cancelled.
class ConsoleDialogs final : public Dialogs {
public:
    explicit ConsoleDialogs(bool assumeYes = false) : m_yes(assumeYes) {}
    Answer message(const QString &text, Icon icon = Icon::None, const QString &caption = {},
                   Buttons buttons = Buttons::Ok) override;
    Answer report(const QString &text, Icon icon, bool failed) override;
    QString openFile(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &, const QString &) override { return {}; }
    int errorCount() const { return m_errors; }
    int warningCount() const { return m_warnings; }
private:
    bool m_yes;
    int m_errors = 0;
    int m_warnings = 0;
};

/// The prefix a console message gets for its icon.
QString consolePrefix(Icon icon);

} // namespace velor
