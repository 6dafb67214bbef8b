#pragma once
// The first run of an installed program: its program folder does not exist yet, and the user
// picks how to begin (a demo, an empty folder, or a folder they already have).
#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace velor {

class Dialogs;

class FirstRunDialog final : public QDialog {
public:
    /// `dir` is the folder to fill; `manualPath` the manual the demo copies.
    FirstRunDialog(const QString &dir, const QString &manualPath, Dialogs &dialogs, QWidget *parent = nullptr);

    /// The program folder made or chosen (with a trailing separator); empty until one is.
    QString programFolder() const { return m_result; }
    /// Stocks of the demo market (the full market unless a test asks for fewer).
    void setDemoStocks(int n) { m_demoStocks = n; }
    /// Names, above the choices, the remembered program folder that has gone.
    void setMissingFolder(const QString &dir);

    void makeDemo();
    void makeEmpty();
    /// An empty folder whose prices come from the J-Quants API: the first F2 builds the database.
    void makeJQuants();
    void chooseExisting();

    QPushButton *demoButton = nullptr, *emptyButton = nullptr, *jquantsButton = nullptr, *chooseButton = nullptr, *quitButton = nullptr;
    /// Shown while the demo is written: stops the writing and offers the choices again.
    QPushButton *stopButton = nullptr;
    QProgressBar *progress = nullptr;
    QLabel *status = nullptr;   ///< how far the writing is, or that it was stopped

    /// Called with the writer's progress after the dialog has shown it.
    std::function<void(int done, int total)> onProgress;

    /// Esc: while the demo is written it stops the writing, as 中止 does.
    void reject() override;

protected:
    /// The close box: while the demo is written it stops the writing and ends the program, as 終了 does.
    void closeEvent(QCloseEvent *e) override;

private:
    void finish(const QString &dir);
    void setBusy(bool busy);
    /// Stops the writing at its next stock; `andQuit` ends the program once it has stopped.
    void stopWriting(bool andQuit);

    QString m_dir, m_manual;
    Dialogs &m_dialogs;
    int m_demoStocks;
    QString m_result;
    bool m_busy = false;
    bool m_stop = false;
    bool m_quitAfter = false;
};

} // namespace velor
