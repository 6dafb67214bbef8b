#pragma once
// frmAbout: the program's title and version, the notice line, and the buttons OK,
// ｼｽﾃﾑ情報(&S)... and HPへ. Not modal.
#include <QDialog>

class QLabel;
class QPushButton;

namespace velor {

struct State;
struct Services;

class AboutWindow final : public QDialog {
    Q_OBJECT
public:
    AboutWindow(const State &st, Services &sv, QWidget *parent = nullptr);

    /// Where the system information is read from ("/proc" on Linux).
    void setProcRoot(const QString &root) { m_procRoot = root; }

    void cmdOK_Click();
    void cmdSysInfo_Click();
    void cmdHP_Click();

    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *picIcon = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;
    QPushButton *cmdHP = nullptr;

private:
    const State &m_st;
    Services &m_sv;
    QString m_procRoot = QStringLiteral("/proc");
};

} // namespace velor
