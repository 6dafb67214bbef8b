// The main window's stock list, code field, search window and buttons, offscreen.
#include "ListsFixture.h"

#include "app/ListsWiring.h"
#include "app/MainWindow.h"
#include "lists/SearchWindow.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

namespace velor::test {
namespace {

QApplication &app()
{
    static int argc = 1;
    static char name[] = "ListsWindowTest";
    static char *argv[] = {name, nullptr};
    // Never destroyed: tearing Qt down after main() has returned is not safe.
    static QApplication *a = new QApplication(argc, argv);
    return *a;
}

class ListsWindow : public ListsFixture {
protected:
    void SetUp() override
    {
        app();
        ListsFixture::SetUp();
        writeList("touroku.dat", " 1001 \r\n 1301 \r\n 1332 \r\n");
        pf.st.BrowserPath = QStringLiteral("browser");
        pf.st.sites.CompanyUrl = QStringLiteral("https://company.example");
        w = std::make_unique<MainWindow>(pf.st, env.clock, env.net, env.launcher, env.sound, env.dialogs);
        wireLists(*w);
        // Stands in for the chart: its list step, then it counts the draw.
        w->on(QStringLiteral("chart"), [this](int mode) {
            if (mode == 1) syncListToCurrent(*w);
            redraws.push_back(mode);
        });
        w->startUp();
        w->show();
        QApplication::processEvents();
    }

    void press(QWidget *target, QPoint at, Qt::MouseButton button)
    {
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(at), QPointF(target->mapToGlobal(at)), button, button,
                      Qt::NoModifier);
        QApplication::sendEvent(target, &e);
        QMouseEvent r(QEvent::MouseButtonRelease, QPointF(at), QPointF(target->mapToGlobal(at)), button,
                      Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &r);
    }
    void clickRow(int row, Qt::MouseButton button = Qt::LeftButton)
    {
        press(w->List1->viewport(), w->List1->visualItemRect(w->List1->item(row)).center(), button);
    }
    void typeCode(const QString &text)
    {
        w->txtCODE->setText(text);
        QKeyEvent k(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(w->txtCODE, &k);
    }

    std::unique_ptr<MainWindow> w;
    std::vector<int> redraws;
};

TEST_F(ListsWindow, StartUpShowsWatchListOne)
{
    ASSERT_EQ(w->List1->count(), 3);
    EXPECT_EQ(w->List1->item(1)->text(), QStringLiteral(" 1301 極洋    (1)"));
    EXPECT_EQ(w->lblList->text(), QStringLiteral("登録銘柄 / 3 ( 3 ) 銘柄"));
    EXPECT_EQ(redraws, std::vector<int>{1});
    EXPECT_EQ(w->List1->currentRow(), 0);
    EXPECT_EQ(w->txtCODE->text(), QStringLiteral("1001"));
}

TEST_F(ListsWindow, ClickingARowShowsItsStock)
{
    clickRow(2);
    EXPECT_EQ(pf.st.CurCode, 1332);
    EXPECT_EQ(redraws, (std::vector<int>{1, 1}));
    EXPECT_EQ(w->List1->currentRow(), 2);
    EXPECT_EQ(w->txtCODE->text(), QStringLiteral("1332"));
}

TEST_F(ListsWindow, TypingACodeWithEnterShowsIt)
{
    typeCode(QStringLiteral("1301"));
    EXPECT_EQ(pf.st.CurCode, 1301);
    EXPECT_EQ(redraws, (std::vector<int>{1, 1}));
    EXPECT_EQ(w->List1->currentRow(), 1);

    typeCode(QString());
    EXPECT_EQ(env.dialogs.texts(), QStringList{QStringLiteral("このコード(0)の銘柄はありません。")});
    EXPECT_EQ(pf.st.CurCode, 1301);
    EXPECT_EQ(redraws.size(), 2u);
}

TEST_F(ListsWindow, RightClickOpensThePopupExceptInTheMinutePeriod)
{
    pf.st.CurPeriod = 3;
    clickRow(1, Qt::RightButton);
    EXPECT_FALSE(w->listPopup()->isVisible());
    EXPECT_EQ(pf.st.CurCode, 1001);
    pf.st.CurPeriod = 0;
    clickRow(1, Qt::RightButton);
    EXPECT_TRUE(w->listPopup()->isVisible());
    w->listPopup()->hide();
}

TEST_F(ListsWindow, RightClickDeleteRemovesTheRowUnderThePointerNotTheSelectedOne)
{
    // Regression: with 1301 selected, a right click on 1332 and この銘柄を削除する removed 1301.
    clickRow(1);
    ASSERT_EQ(pf.st.CurCode, 1301);
    clickRow(2, Qt::RightButton);
    w->listPopup()->hide();
    EXPECT_EQ(w->List1->currentRow(), 2);
    w->action("DelM")->trigger();
    EXPECT_EQ(readFile(file("touroku.dat")), QByteArray(" 1001 \r\n 1301 \r\n"));
    EXPECT_EQ(w->List1->count(), 2);
}

TEST_F(ListsWindow, ArrowHomeAndEndKeysShowTheStockTheyLandOn)
{
    struct Step { Qt::Key key; int row; int code; };
    const Step steps[] = {{Qt::Key_Down, 1, 1301}, {Qt::Key_End, 2, 1332}, {Qt::Key_Down, 2, 1332},
                          {Qt::Key_Up, 1, 1301}, {Qt::Key_Home, 0, 1001}, {Qt::Key_Up, 0, 1001}};
    for (const Step &s : steps) {
        QKeyEvent k(QEvent::KeyPress, s.key, Qt::NoModifier);
        QApplication::sendEvent(w->List1, &k);
        EXPECT_EQ(w->List1->currentRow(), s.row) << s.key;
        EXPECT_EQ(pf.st.CurCode, s.code) << s.key;
        EXPECT_EQ(w->txtCODE->text(), QString::number(s.code)) << s.key;
    }
    // Start-up drew once; each move that changed the row drew once more (four of the six).
    EXPECT_EQ(redraws.size(), 5u);
}

TEST_F(ListsWindow, PageKeysAndTypedCodesShowTheStockTheyLandOn)
{
    struct Step { Qt::Key key; int row; int code; };
    const Step steps[] = {{Qt::Key_PageDown, 2, 1332}, {Qt::Key_PageUp, 0, 1001}, {Qt::Key_PageDown, 2, 1332}};
    for (const Step &s : steps) {
        QKeyEvent k(QEvent::KeyPress, s.key, Qt::NoModifier);
        QApplication::sendEvent(w->List1, &k);
        EXPECT_EQ(w->List1->currentRow(), s.row) << s.key;
        EXPECT_EQ(pf.st.CurCode, s.code) << s.key;
        EXPECT_EQ(w->txtCODE->text(), QString::number(s.code)) << s.key;
    }
    // Typing the start of a row moves the selection the list's own way; the chart follows.
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" 1301"));
    QApplication::sendEvent(w->List1, &typed);
    QApplication::processEvents();
    EXPECT_EQ(w->List1->currentRow(), 1);
    EXPECT_EQ(pf.st.CurCode, 1301);
    // F11 goes on from the row the keys left.
    w->action("RHyouji", 0)->trigger();
    EXPECT_EQ(pf.st.CurCode, 1332);
}

TEST_F(ListsWindow, F11StepsToTheNextRow)
{
    w->action("RHyouji", 0)->trigger();
    EXPECT_EQ(w->List1->currentRow(), 1);
    EXPECT_EQ(pf.st.CurCode, 1301);
}

TEST_F(ListsWindow, SearchWindowShowsAndAdds)
{
    w->action("F020")->trigger();
    auto *s = w->findChild<SearchWindow *>(QStringLiteral("frmSearch"));
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->isVisible());
    EXPECT_EQ(s->windowTitle(), QStringLiteral("銘柄名検索"));
    s->Text1->setText(QStringLiteral("日本"));
    s->Command1->click();
    ASSERT_EQ(s->List1->count(), 2);
    s->clickRow(0);
    EXPECT_EQ(pf.st.CurCode, 1332);
    s->clickRow(1);   // the end line
    EXPECT_EQ(pf.st.CurCode, 1332);
    s->List1->setCurrentRow(0);
    s->addSelected(2);
    EXPECT_EQ(readFile(file("touroku2.dat")), QByteArray(" 1332 \r\n"));
    EXPECT_EQ(w->lblList->text(), QStringLiteral("登録銘柄２ / 1 ( 1 ) 銘柄"));
}

TEST_F(ListsWindow, CompanyButtonOpensThePage)
{
    clickRow(1);
    w->Command3->click();
    EXPECT_EQ(env.launcher.commands, QStringList{QStringLiteral("browser https://company.example/stocks/1301")});
}

} // namespace
} // namespace velor::test
