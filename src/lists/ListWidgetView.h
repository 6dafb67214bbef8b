#pragma once
// The main window's stock list, label, code field and volume button as a ListView.
#include "lists/ListView.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;

namespace velor {

class ListWidgetView final : public ListView {
public:
    ListWidgetView(QListWidget *list, QLabel *label, QLineEdit *code, QAction *volumeButton);
    void setLines(const QStringList &lines) override;
    void setLabel(const QString &text) override;
    int currentRow() const override;
    void setCurrentRow(int row) override;
    int rowCount() const override;
    QString rowText(int row) const override;
    void setCodeText(const QString &text) override;
    QString codeText() const override;
    void setVolumeCaption(const QString &text) override;
private:
    QListWidget *m_list;
    QLabel *m_label;
    QLineEdit *m_code;
    QAction *m_volume;
};

} // namespace velor
