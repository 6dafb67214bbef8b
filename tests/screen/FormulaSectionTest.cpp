// 自作スクリーニング in the ranking window, wired into the program's window on a small demo
// folder: the error shown where it is, an example beside its built-in screen, saving, running on
// a watch list, deleting.
#include "app/MainWindow.h"
#include "app/ScreenWiring.h"
#include "common/Cp932.h"
#include "lists/ListView.h"
#include "lists/WorkingSet.h"
#include "screen/FormulaSection.h"
#include "screen/RankingWindow.h"
#include "support/DemoWindow.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <gtest/gtest.h>

#include <set>

using namespace velor;

namespace {

struct FormulaSectionTest : ::testing::Test {
    static void SetUpTestSuite() { test::ensureGuiApp(); }
    void SetUp() override
    {
        test::openDemoWindow(dir.path(), 120, QDateTime(QDate(2026, 11, 30), QTime(16, 0)), st, env, w);
        w->click(QStringLiteral("F_FORMULA"));
        r = rankingWindow(*w);
        ASSERT_NE(r, nullptr);
        f = r->Formula;
    }
    // The data rows of the window's list, each list's after its title row.
    std::vector<QStringList> lists() const
    {
        std::vector<QStringList> out;
        for (int i = 0; i < r->List1->count(); ++i) {
            const QString line = r->List1->item(i)->text();
            if (line.startsWith(u'★')) out.emplace_back();
            else if (!out.empty()) out.back() << line;
        }
        return out;
    }
    void pick(const QString &entry)
    {
        const int i = f->cboSaved->findText(entry);
        ASSERT_GT(i, 0) << entry.toStdString();
        f->cboSaved->setCurrentIndex(i);
        emit f->cboSaved->activated(i);
    }
    QTemporaryDir dir;
    State st;
    test::TestEnv env;
    std::unique_ptr<MainWindow> w;
    RankingWindow *r = nullptr;
    FormulaSection *f = nullptr;
};

} // namespace

TEST_F(FormulaSectionTest, CheckShowsTheErrorWhereItIs)
{
    EXPECT_TRUE(r->isVisible());
    EXPECT_TRUE(f->isVisible());
    EXPECT_TRUE(r->cmdFORMULA->isChecked());
    EXPECT_EQ(r->List1->count(), 0);   // opening the editor runs nothing
    EXPECT_LE(f->geometry().bottom(), r->List1->geometry().top());

    struct Case {
        const char16_t *filter, *score;
        QLineEdit *FormulaSection::*field;
        int start;
        const char16_t *selected, *message;
    };
    const Case cases[] = {
        {u"C > MA(C,25) AND V > MAX(V,5)", u"", &FormulaSection::txtFilter, 21, u"M",
         u"条件式の 22 文字目: 「MAX」という項目や関数はありません"},
        {u"(C > 1", u"", &FormulaSection::txtFilter, 6, u"", u"条件式の 7 文字目: 「)」がありません（「(」は 1 文字目）"},
        {u"RSI(14) < 0.3", u"C /", &FormulaSection::txtScore, 3, u"", u"スコアの式の 4 文字目: 式が途中で終わっています"},
        {u"RSI(14) < 0.3", u"RCI(1)", &FormulaSection::txtScore, 4, u"1", u"スコアの式の 5 文字目: RCI の期間は 2 から 1500 までの整数です"},
    };
    for (const Case &c : cases) {
        f->txtFilter->setText(QString::fromUtf16(c.filter));
        f->txtScore->setText(QString::fromUtf16(c.score));
        EXPECT_FALSE(f->cmdCHECK_Click());
        EXPECT_EQ(f->message(), QString::fromUtf16(c.message));
        QLineEdit *field = f->*c.field;
        EXPECT_EQ(field->hasSelectedText() ? field->selectionStart() : field->cursorPosition(), c.start)
            << QString::fromUtf16(c.filter).toStdString();
        EXPECT_EQ(field->selectedText(), QString::fromUtf16(c.selected));
        // 実行 checks first and runs nothing.
        f->cmdRUN->click();
        EXPECT_EQ(r->List1->count(), 0);
    }
    f->txtScore->setText(QString());
    EXPECT_TRUE(f->cmdCHECK_Click());
    EXPECT_EQ(f->message(), QStringLiteral("式に誤りはありません"));
    test::saveShot(*r, QStringLiteral("formula-error"));
}

TEST_F(FormulaSectionTest, AnExampleGivesTheLinesOfItsBuiltInScreen)
{
    pick(QStringLiteral("例：RSI大"));
    EXPECT_EQ(f->txtFilter->text(), QStringLiteral("RSI(9) > 0.5"));
    EXPECT_EQ(f->txtScore->text(), QStringLiteral("RSI(9)"));
    f->cmdRUN->click();
    const auto formula = lists();
    ASSERT_EQ(formula.size(), 1u);
    EXPECT_TRUE(r->List1->item(0)->text().startsWith(QStringLiteral("★RSI大（上位）★　５値  日= 20261127 ")));
    w->click(QStringLiteral("F230"));
    const auto builtIn = lists();
    ASSERT_GE(builtIn.size(), 1u);
    EXPECT_GT(builtIn[0].size(), 0);
    EXPECT_EQ(formula[0], builtIn[0]);
    EXPECT_EQ(st.CurCode, 1001);
}

TEST_F(FormulaSectionTest, SaveRunOnAWatchListAndDelete)
{
    const QString name = QStringLiteral("25日線上抜け");
    const QString filter = QStringLiteral("CROSS(C, MA(C,25)) AND V > MA(V,5)*2");
    f->txtName->setText(name);
    f->txtFilter->setText(filter);
    f->cmdSAVE->click();
    EXPECT_EQ(f->message(), "「" + name + "」を保存しました");
    const QString path = st.ProgramDir + "formulas.dat";
    EXPECT_EQ(test::readFile(path), toCp932(name + "\t" + filter + "\t\ttop\t0\tall\r\n"));
    EXPECT_EQ(f->cboSaved->currentText(), name);
    f->cmdRUN->click();
    ASSERT_GT(r->List1->count(), 0);
    EXPECT_TRUE(r->List1->item(0)->text().startsWith("★" + name + "（上位）★　５値  日= 20261127 "));

    // A wider filter on watch list 2, lowest close first, three rows.
    const auto numbers = readListNumbers(watchListPath(st, 2));
    ASSERT_TRUE(numbers);
    std::set<int> listed;
    for (long long v : *numbers) listed.insert(listCode(v));
    f->txtFilter->setText(QStringLiteral("C > 0"));
    f->txtScore->setText(QStringLiteral("C"));
    f->cboOrder->setCurrentIndex(1);
    f->spnRows->setValue(3);
    f->cboScope->setCurrentIndex(3);
    f->cmdRUN->click();
    const auto rows = lists();
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), 3);
    float last = 0;
    for (const QString &row : rows[0]) {
        EXPECT_TRUE(listed.count(codeOfLine(row))) << row.toStdString();
        const float close = row.section(u',', 6, 6).toFloat();
        EXPECT_GE(close, last);   // ascending: the lowest score first
        last = close;
    }
    f->cmdSAVE->click();
    EXPECT_EQ(test::readFile(path), toCp932(name + "\tC > 0\tC\tbottom\t3\t2\r\n"));

    // The working set (watch list 1 since start-up) is read from the window's state.
    std::set<int> working;
    for (int k = 1; k <= st.WorkCount; ++k)
        if (st.WorkSet[size_t(k)] > 0) working.insert(st.StockCode[size_t(st.WorkSet[size_t(k)])]);
    ASSERT_EQ(st.WorkKind, 1);
    f->cboScope->setCurrentIndex(1);
    f->spnRows->setValue(1000);
    f->cmdRUN->click();
    const auto inWorking = lists();
    ASSERT_EQ(inWorking.size(), 1u);
    EXPECT_GT(inWorking[0].size(), 0);
    for (const QString &row : inWorking[0]) EXPECT_TRUE(working.count(codeOfLine(row))) << row.toStdString();
    f->cboScope->setCurrentIndex(3);
    f->spnRows->setValue(3);
    f->cmdRUN->click();

    // 保存 of the window writes the result file, which opens as the working set: its title line
    // and the three stocks.
    QDir().mkpath(st.ProgramDir + "VEDAT");
    const QString result = st.ProgramDir + "VEDAT/mine.csv";
    env.dialogs.files.push_back(result);
    r->cmdSAVE->click();
    EXPECT_EQ(test::readFile(result), toCp932(r->lines().join("\r\n") + "\r\n"));
    env.dialogs.files.push_back(result);
    w->click(QStringLiteral("PL222"), 4);
    EXPECT_EQ(st.WorkKind, 4);
    ASSERT_EQ(st.WorkCount, 4);
    EXPECT_EQ(st.WorkSet[1], -999);
    for (int k = 2; k <= 4; ++k)
        EXPECT_EQ(st.StockCode[size_t(st.WorkSet[size_t(k)])], codeOfLine(rows[0][k - 2]));

    f->cmdDELETE->click();
    EXPECT_EQ(f->message(), "「" + name + "」を削除しました");
    EXPECT_EQ(test::readFile(path), QByteArray());
    EXPECT_EQ(f->cboSaved->findText(name), -1);
    // A name of a built-in screen is refused with its reason.
    f->txtName->setText(QStringLiteral("rsi"));
    f->cmdSAVE->click();
    EXPECT_EQ(f->message(), QStringLiteral("「rsi」は組み込みの検索の名前です"));
    EXPECT_EQ(test::readFile(path), QByteArray());
}
