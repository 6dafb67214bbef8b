#pragma once
// 設定… under ファイル: the addresses of sites.ini and the values of VELOR.ini a user changes, in
// one window. OK checks every value and names a bad one beside its field (the window stays
// open); good values are written and used at once. 接続を確かめる reads an address's page.
#include <QDialog>
#include <QHash>

class QCheckBox;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace velor {

class MainWindow;

class SettingsDialog final : public QDialog {
public:
    explicit SettingsDialog(MainWindow &w);

    /// The editor of a value by its id ("DataSiteUrl", "RankRows"); null for a check box.
    QLineEdit *edit(const QString &id) const { return m_edits.value(id); }
    QCheckBox *check(const QString &id) const { return m_checks.value(id); }
    /// The line under a field: its problem, or what 接続を確かめる found.
    QLabel *note(const QString &id) const { return m_notes.value(id); }
    QPushButton *testButton(const QString &id) const { return m_tests.value(id); }
    QLabel *problem = nullptr;
    QPushButton *okButton = nullptr, *cancelButton = nullptr;
    QTabWidget *tabs = nullptr;

    /// OK: checks, writes and applies; the window closes only when everything was written.
    void save();
    /// 接続を確かめる of one address field.
    void testConnection(const QString &id);
    /// 保存 of the J-Quants key: into the user's key file (never into sites.ini).
    void saveKey();
    QLineEdit *keyEdit = nullptr;
    QLabel *keyNote = nullptr;

    void done(int r) override;

private:
    QStringList values() const;
    void clearNotes();
    void setNote(const QString &id, const QString &text, bool bad);
    void fill(const QStringList &values);
    void addKeyRow(QFormLayout *form, QWidget *box, int labelWidth);

    MainWindow &m_w;
    QHash<QString, QLineEdit *> m_edits;
    QHash<QString, QCheckBox *> m_checks;
    QHash<QString, QLabel *> m_notes;
    QHash<QString, QPushButton *> m_tests;
    QHash<QString, int> m_tabOf;
    bool m_testing = false;
    int m_closeAfterTest = -1;   ///< a close asked for while a page was read
};

/// Connects 設定… (SETTEI).
void wireSettings(MainWindow &w);

} // namespace velor
