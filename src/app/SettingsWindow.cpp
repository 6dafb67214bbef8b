#include "app/SettingsWindow.h"

#include "app/MainWindow.h"
#include "app/SettingsForm.h"
#include "common/ApiKey.h"
#include "import/JQuantsClient.h"

#include <QCheckBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace velor {

namespace {

const QString kBad = QStringLiteral("color: #c00000");
const QString kGood = QStringLiteral("color: #006000");

// Where the key in use is kept, as the window says it (never the key itself).
QString keyPlaceText(KeyPlace place)
{
    const QString never = QStringLiteral("キーは sites.ini には書きません。");
    switch (place) {
    case KeyPlace::Environment:
        return QStringLiteral("いまは環境変数 JQUANTS_API_KEY のキーを使っています（保存したキーより優先します）。") + never;
    case KeyPlace::Keyring: return QStringLiteral("キーはデスクトップのキーリングにあります。") + never;
    case KeyPlace::File:
        return QStringLiteral("キーリングが使えないため、キーはこのユーザーだけが読めるファイル ") + apiKeyFile() +
               QStringLiteral(" にあります。") + never;
    case KeyPlace::None: break;
    }
    return QStringLiteral("保存すると、デスクトップのキーリングに（キーリングがなければこのユーザーだけが読めるファイル ") + apiKeyFile() +
           QStringLiteral(" に）入れます。") + never;
}

// The stock whose pages 接続を確かめる reads: the one shown, or the first of the master.
int sampleCode(const State &st)
{
    if (st.CurCode >= 1301 && st.entryOf(st.CurCode) > 0) return st.CurCode;
    for (int i = 1; i <= st.StockCount; ++i)
        if (st.StockCode[size_t(i)] >= 1301) return st.StockCode[size_t(i)];
    return 1301;
}

} // namespace

SettingsDialog::SettingsDialog(MainWindow &w) : QDialog(&w), m_w(w)
{
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(QStringLiteral("設定"));
    auto *layout = new QVBoxLayout(this);
    tabs = new QTabWidget(this);
    layout->addWidget(tabs);
    const struct { const char16_t *title; QStringList groups; } pages[] = {
        {u"アドレス（sites.ini）", {QStringLiteral("株価データのサイト"), QStringLiteral("ページのアドレス"), QStringLiteral("ページの読み込み")}},
        {u"表示とランキング（VELOR.ini）",
         {QStringLiteral("チャート"), QStringLiteral("ランキングと絞り込み"), QStringLiteral("リアルタイム急騰急落"), QStringLiteral("指標の期間")}},
    };
    for (const auto &page : pages) {
        int labelWidth = 0;
        for (const SettingField &s : settingFields())
            if (page.groups.contains(s.group)) labelWidth = std::max(labelWidth, fontMetrics().horizontalAdvance(s.label) + 8);
        auto *scroll = new QScrollArea(tabs);
        scroll->setWidgetResizable(true);
        auto *inner = new QWidget(scroll);
        auto *column = new QVBoxLayout(inner);
        for (const QString &group : page.groups) {
            auto *box = new QGroupBox(group, inner);
            auto *form = new QFormLayout(box);
            for (const SettingField &s : settingFields()) {
                if (s.group != group) continue;
                auto *cell = new QWidget(box);
                auto *rows = new QVBoxLayout(cell);
                rows->setContentsMargins(0, 0, 0, 0);
                rows->setSpacing(2);
                auto *line = new QHBoxLayout;
                if (s.kind == SettingKind::Flag) {
                    auto *c = new QCheckBox(cell);
                    c->setObjectName(s.id);
                    m_checks.insert(s.id, c);
                    line->addWidget(c);
                    line->addStretch();
                } else {
                    auto *e = new QLineEdit(cell);
                    e->setObjectName(s.id);
                    if (s.kind == SettingKind::Address) e->setPlaceholderText(QStringLiteral("空なら組み込みのアドレス"));
                    if (s.kind == SettingKind::List) e->setPlaceholderText(QStringLiteral("空なら使いません"));
                    if (s.kind == SettingKind::Choice) e->setPlaceholderText(QStringLiteral("空なら ") + s.choices.value(0));
                    if (!s.isAddress()) e->setMaximumWidth(m_w.px(2400));
                    m_edits.insert(s.id, e);
                    line->addWidget(e);
                }
                if (s.isAddress()) {
                    auto *b = new QPushButton(QStringLiteral("接続を確かめる"), cell);
                    b->setObjectName(s.id + QStringLiteral("Test"));
                    const QString id = s.id;
                    connect(b, &QPushButton::clicked, this, [this, id] { testConnection(id); });
                    m_tests.insert(s.id, b);
                    line->addWidget(b);
                }
                rows->addLayout(line);
                auto *n = new QLabel(cell);
                n->setObjectName(s.id + QStringLiteral("Note"));
                n->setWordWrap(true);
                n->setTextInteractionFlags(Qt::TextSelectableByMouse);
                n->hide();
                m_notes.insert(s.id, n);
                rows->addWidget(n);
                // One label width for the tab, so the fields of its groups line up.
                auto *label = new QLabel(s.label, box);
                label->setMinimumWidth(labelWidth);
                form->addRow(label, cell);
                m_tabOf.insert(s.id, tabs->count());
                if (s.id == QLatin1String("JQuantsPlan")) addKeyRow(form, box, labelWidth);
            }
            column->addWidget(box);
        }
        column->addStretch();
        scroll->setWidget(inner);
        tabs->addTab(scroll, QString::fromUtf16(page.title));
    }
    auto *hint = new QLabel(QStringLiteral("OK で sites.ini と VELOR.ini に書き、すぐに使います（ファイルの他の行と注釈はそのまま残ります）。"), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    problem = new QLabel(this);
    problem->setObjectName(QStringLiteral("problem"));
    problem->setStyleSheet(kBad);
    problem->setWordWrap(true);
    layout->addWidget(problem);
    auto *buttons = new QDialogButtonBox(this);
    okButton = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cancelButton = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &SettingsDialog::save);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(m_w.px(10500), m_w.px(9000));
    if (auto v = readSettingValues(m_w.state().ProgramDir)) fill(*v);
    else {
        problem->setText(v.error());
        okButton->setEnabled(false);
    }
}

void SettingsDialog::fill(const QStringList &values)
{
    const auto &fields = settingFields();
    for (size_t i = 0; i < fields.size(); ++i) {
        if (QLineEdit *e = m_edits.value(fields[i].id)) e->setText(values.value(int(i)));
        if (QCheckBox *c = m_checks.value(fields[i].id)) c->setChecked(values.value(int(i)).trimmed().toDouble() != 0);
    }
}

QStringList SettingsDialog::values() const
{
    QStringList out;
    for (const SettingField &s : settingFields()) {
        if (QCheckBox *c = m_checks.value(s.id)) out << (c->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
        else out << m_edits.value(s.id)->text();
    }
    return out;
}

void SettingsDialog::setNote(const QString &id, const QString &text, bool bad)
{
    QLabel *n = m_notes.value(id);
    if (!n) return;
    n->setText(text);
    n->setStyleSheet(bad ? kBad : kGood);
    n->setVisible(!text.isEmpty());
}

void SettingsDialog::clearNotes()
{
    for (auto it = m_notes.cbegin(); it != m_notes.cend(); ++it) setNote(it.key(), {}, false);
    problem->clear();
}

void SettingsDialog::save()
{
    if (m_testing) return;
    clearNotes();
    const QStringList v = values();
    const auto problems = checkSettingValues(v);
    if (!problems.empty()) {
        for (const SettingProblem &p : problems) setNote(settingFields()[size_t(p.index)].id, p.text, true);
        const QString first = settingFields()[size_t(problems.front().index)].id;
        tabs->setCurrentIndex(m_tabOf.value(first));
        if (QLineEdit *e = m_edits.value(first)) e->setFocus();
        problem->setText(QStringLiteral("正しくない値が %1 か所あります。赤字の説明に従って直してください。").arg(problems.size()));
        return;
    }
    const auto saved = saveSettingValues(m_w.state(), v);
    if (!saved) {
        problem->setText(saved.error());
        return;
    }
    if (!saved->isEmpty()) {
        // After the redraw, which fills the pane with the chart's listing.
        m_w.redrawChart(11);
        m_w.prependMessage(QStringLiteral("設定を保存しました（%1 項目）。\r\n").arg(saved->size()));
    }
    accept();
}

void SettingsDialog::testConnection(const QString &id)
{
    if (m_testing) return;
    const auto &fields = settingFields();
    const auto it = std::find_if(fields.begin(), fields.end(), [&](const SettingField &s) { return s.id == id; });
    if (it == fields.end() || !m_edits.value(id)) return;
    const QString typed = m_edits.value(id)->text().trimmed();
    const QStringList v = values();
    for (const SettingProblem &p : checkSettingValues(v))
        if (fields[size_t(p.index)].id == id) return setNote(id, p.text, true);
    if (typed.isEmpty()) return setNote(id, QStringLiteral("アドレスが空です。確かめるアドレスを入れてください。"), true);
    const QString address = connectionAddress(*it, typed, sampleCode(m_w.state()));
    // The time-out of the field when it holds a good one, so a user can try a new value.
    int seconds = m_w.state().sites.FetchTimeoutSeconds;
    if (QLineEdit *t = m_edits.value(QStringLiteral("FetchTimeoutSeconds")))
        if (const int typed = t->text().trimmed().toInt(); typed >= 1 && typed <= 600) seconds = typed;
    setNote(id, QStringLiteral("確かめています…　") + address, false);
    m_testing = true;
    for (QPushButton *b : std::as_const(m_tests)) b->setEnabled(false);
    okButton->setEnabled(false);
    // The fetch waits in a local event loop: the window keeps painting, and a close asked for
    // meanwhile waits for its end (done()).
    FetchLimits limits{seconds * 1000, qint64(4) << 20};
    const bool api = id == QLatin1String("JQuantsBaseUrl");
    QString apiAddress = address;
    QByteArray key;
    if (api) {
        key = keyEdit && !keyEdit->text().trimmed().isEmpty() ? keyEdit->text().trimmed().toUtf8() : readApiKey(m_w.services().keyring);
        if (key.isEmpty()) {
            m_testing = false;
            for (QPushButton *b : std::as_const(m_tests)) b->setEnabled(true);
            okButton->setEnabled(true);
            return setNote(id, jq::noKeyText().simplified(), true);
        }
        // One small request: a week of the calendar.
        const QDate today = m_w.services().clock.now().date();
        apiAddress += QStringLiteral("?from=%1&to=%2").arg(today.addDays(-7).toString(QStringLiteral("yyyyMMdd")),
                                                            today.toString(QStringLiteral("yyyyMMdd")));
        limits.headers.push_back({"x-api-key", key});
    }
    const auto page = m_w.services().net.fetch(apiAddress, limits);
    m_testing = false;
    for (QPushButton *b : std::as_const(m_tests)) b->setEnabled(true);
    okButton->setEnabled(true);
    if (api) {
        QString plan = QStringLiteral("free");
        if (QLineEdit *p = m_edits.value(QStringLiteral("JQuantsPlan")); p && !p->text().trimmed().isEmpty()) plan = p->text().trimmed();
        const jq::Plan chosen = jq::planFromText(plan).value_or(jq::Plan::Free);
        const QDate newest = m_w.services().clock.now().date().addDays(-jq::delayDays(chosen));
        const QString text = page ? QStringLiteral("キーは有効です。プラン %1 のデータは %2 までです（毎分 %3 回まで）。")
                                        .arg(jq::planText(chosen), newest.toString(QStringLiteral("yyyy/MM/dd")))
                                        .arg(jq::requestsPerMinute(chosen))
                            : page.error().status == 401 || page.error().status == 403 ? jq::authFailedText(page.error().status).simplified()
                                                                                        : connectionText(page);
        setNote(id, address + QStringLiteral("：　") + text, !page.has_value());
    } else {
        setNote(id, address + QStringLiteral("：　") + connectionText(page), !page.has_value());
    }
    if (m_closeAfterTest >= 0) QDialog::done(std::exchange(m_closeAfterTest, -1));
}

void SettingsDialog::addKeyRow(QFormLayout *form, QWidget *box, int labelWidth)
{
    auto *cell = new QWidget(box);
    auto *rows = new QVBoxLayout(cell);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(2);
    auto *line = new QHBoxLayout;
    keyEdit = new QLineEdit(cell);
    keyEdit->setObjectName(QStringLiteral("JQuantsKey"));
    keyEdit->setEchoMode(QLineEdit::Password);
    KeyPlace place = KeyPlace::None;
    const bool stored = !readApiKey(m_w.services().keyring, &place).isEmpty();
    keyEdit->setPlaceholderText(stored ? QStringLiteral("保存済み（変えるときだけ入れて「保存」）") : QStringLiteral("キーを入れて「保存」"));
    line->addWidget(keyEdit);
    auto *b = new QPushButton(QStringLiteral("保存"), cell);
    b->setObjectName(QStringLiteral("JQuantsKeySave"));
    connect(b, &QPushButton::clicked, this, &SettingsDialog::saveKey);
    line->addWidget(b);
    rows->addLayout(line);
    keyNote = new QLabel(cell);
    keyNote->setObjectName(QStringLiteral("JQuantsKeyNote"));
    keyNote->setWordWrap(true);
    keyNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    keyNote->setText(keyPlaceText(place));
    rows->addWidget(keyNote);
    auto *label = new QLabel(QStringLiteral("J-Quants API キー"), box);
    label->setMinimumWidth(labelWidth);
    form->addRow(label, cell);
}

void SettingsDialog::saveKey()
{
    const QByteArray key = keyEdit->text().trimmed().toUtf8();
    const auto r = storeApiKey(key, m_w.services().keyring);
    if (!r) {
        keyNote->setStyleSheet(kBad);
        keyNote->setText(r.error());
        return;
    }
    keyEdit->clear();
    keyEdit->setPlaceholderText(key.isEmpty() ? QStringLiteral("キーを入れて「保存」") : QStringLiteral("保存済み（変えるときだけ入れて「保存」）"));
    keyNote->setStyleSheet(kGood);
    keyNote->setText(key.isEmpty() ? QStringLiteral("保存したキーを消しました。") : QStringLiteral("保存しました。") + keyPlaceText(*r));
}

void SettingsDialog::done(int r)
{
    if (m_testing) {
        m_closeAfterTest = r;
        return;
    }
    QDialog::done(r);
}

void wireSettings(MainWindow &w)
{
    w.on(QStringLiteral("SETTEI"), [&w](int) {
        // By its name: without its own meta-object a typed search would take any dialog for it.
        auto *open = dynamic_cast<SettingsDialog *>(w.findChild<QDialog *>(QStringLiteral("SettingsDialog"), Qt::FindDirectChildrenOnly));
        if (open && open->isVisible()) {
            open->raise();
            open->activateWindow();
            return;
        }
        auto *dlg = new SettingsDialog(w);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->open();
    });
}

} // namespace velor
