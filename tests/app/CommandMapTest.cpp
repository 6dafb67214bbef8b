// The whole command map of the main window, wired as the program wires it: every enabled menu
// item, context-menu item, hidden-menu key, toolbar button and stock-page button has a command
// behind it; disabled items stay disabled; separators are separators; and a command without a
// handler is reported, never dropped.
#include "app/MainWindow.h"
#include "app/MenuTree.h"
#include "app/Startup.h"
#include "app/Wiring.h"
#include "demo/DemoFolder.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace velor;

namespace {

struct CommandMap : ::testing::Test {
    static void SetUpTestSuite() { test::ensureGuiApp(); }
    void SetUp() override
    {
        demo::MarketOptions mo;
        mo.stocks = 10;
        ASSERT_TRUE(demo::writeDemoFolder(dir.path(), mo).has_value());
        st.ProgramDir = dir.path() + QLatin1Char('/');
        ASSERT_TRUE(loadDatabase(st, env.dialogs));
        st.sites = readSites(st.ProgramDir + QStringLiteral("sites.ini"));
        w = std::make_unique<MainWindow>(st, env.clock, env.net, env.launcher, env.sound, env.dialogs);
        wireSubsystems(*w);
        w->startUp();
    }
    QTemporaryDir dir;
    State st;
    test::TestEnv env;
    std::unique_ptr<MainWindow> w;
};

// Every action under a menu, depth first, with the menus themselves left out.
void collect(QMenu *menu, std::vector<QAction *> &out)
{
    for (QAction *a : menu->actions()) {
        if (a->menu()) collect(a->menu(), out);
        else out.push_back(a);
    }
}

// "F005:1" -> "F005"
QString controlOf(QAction *a) { return a->objectName().section(QLatin1Char(':'), 0, 0); }

} // namespace

TEST_F(CommandMap, EveryEnabledEntryHasACommand)
{
    std::vector<QAction *> actions;
    for (QAction *top : w->menuBar()->actions()) collect(top->menu(), actions);
    collect(w->chartPopup(), actions);
    collect(w->listPopup(), actions);
    for (QAction *a : w->actions()) actions.push_back(a);   // the hidden 連続表示 keys
    int checked = 0;
    QStringList missing, disabled;
    for (QAction *a : actions) {
        if (a->isSeparator()) {
            EXPECT_TRUE(a->text().isEmpty()) << a->objectName().toStdString();
            continue;
        }
        if (!a->isEnabled()) {
            disabled << a->objectName();
            continue;
        }
        const QString control = controlOf(a);
        ++checked;
        if (!w->handles(control)) missing << a->objectName();
    }
    for (QAction *a : w->Toolbar1->actions()) {
        const QString key = a->data().toString();
        if (key == QLatin1String("exit") || key == QLatin1String("vedat")) continue;   // handled by the window itself
        ++checked;
        if (!w->handles(QStringLiteral("tool:") + key)) missing << QStringLiteral("tool:") + key;
    }
    for (const char *button : {"cmdJMP", "Command1", "Command3"}) {
        ++checked;
        if (!w->handles(QString::fromLatin1(button))) missing << QString::fromLatin1(button);
    }
    EXPECT_EQ(missing, QStringList{});
    EXPECT_EQ(disabled, (QStringList{"F800:1", "F806:5", "PL100:4"}));
    // Every entry of the tree was looked at: menus, popups, hidden keys, toolbar, page buttons.
    EXPECT_EQ(checked, 116);
}

TEST_F(CommandMap, SeparatorsDrawAsSeparatorsWithoutText)
{
    QMenu *file = w->menuBar()->findChild<QMenu *>(QStringLiteral("F000"));
    ASSERT_NE(file, nullptr);
    QStringList shape;
    for (QAction *a : file->actions()) shape << (a->isSeparator() ? QStringLiteral("|") + a->text() + "|" : QStringLiteral("x"));
    EXPECT_EQ(shape, (QStringList{"x", "x", "||", "x", "x", "x", "x", "x", "||", "x", "x", "x", "||", "x", "||", "x", "x", "x", "x", "||", "x"}));
    file->popup(QPoint(0, 0));
    test::saveShot(*file, QStringLiteral("menu-file"));
    file->hide();
    EXPECT_TRUE(w->action("F000000")->isSeparator());
    EXPECT_TRUE(w->action("PL099")->isSeparator());
    EXPECT_TRUE(w->action("F765")->isSeparator());
}

TEST_F(CommandMap, ACommandWithoutAHandlerIsReportedNotDropped)
{
    test::unhandledAllowed() = true;
    test::reportedCommands().clear();
    w->click(QStringLiteral("NoSuchCommand"), 2);
    w->click(QStringLiteral("AnotherOne"));
    test::unhandledAllowed() = false;
    EXPECT_EQ(w->unhandledCommands(), (QStringList{"NoSuchCommand:2", "AnotherOne"}));
    EXPECT_EQ(test::reportedCommands(), (QStringList{"NoSuchCommand:2", "AnotherOne"}));
}

TEST_F(CommandMap, VersionAndHelpAndTheLinkMenusRunTheirCommands)
{
    // The link captions come from the settings; the demo's are its own texts.
    EXPECT_EQ(w->action("F805", 0)->text(), QStringLiteral("証券会社１"));
    EXPECT_EQ(w->action("F806", 4)->text(), QStringLiteral("お気に入りページ５"));
    st.BrowserPath = QStringLiteral("/usr/bin/browser");
    w->action("F800", 6)->trigger();
    w->action("F805", 1)->trigger();
    w->action("F888")->trigger();
    EXPECT_EQ(env.launcher.commands, (QStringList{"/usr/bin/browser https://info.invalid/7", "/usr/bin/browser 証券会社２",
                                                  "folder " + st.DataDir + "tmp"}));
    w->action("VERS")->trigger();
    QWidget *about = w->findChild<QWidget *>(QStringLiteral("frmAbout"));
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("VELOR Pro  のﾊﾞｰｼﾞｮﾝ情報"));
    w->action("VERS")->trigger();   // one about box at a time
    EXPECT_EQ(w->findChildren<QWidget *>(QStringLiteral("frmAbout")).size(), 1);
    EXPECT_TRUE(w->unhandledCommands().isEmpty());
}

TEST(CommandMapFailures, TheDataFolderButtonReportsAFolderThatCannotBeOpened)
{
    // Regression: データフォルダ failed without a word when the file manager could not start.
    struct Refusing final : Launcher {
        bool startCommand(const QString &) override { return false; }
        bool openUrl(const QString &, const QString &) override { return false; }
        bool openFolder(const QString &) override { return false; }
        bool openInEditor(const QString &) override { return false; }
    } refusing;
    test::ensureGuiApp();
    test::TestEnv env;
    State st;
    st.ProgramDir = QStringLiteral("/opt/velor/");
    MainWindow w(st, env.clock, env.net, refusing, env.sound, env.dialogs);
    w.toolbarClick(QStringLiteral("vedat"));
    EXPECT_EQ(env.dialogs.texts(), QStringList{"フォルダ：　" + QDir::toNativeSeparators("/opt/velor/VEDAT") + " を開けませんでした。"});
    ASSERT_EQ(env.dialogs.shown.size(), 1u);
    EXPECT_EQ(env.dialogs.shown[0].icon, Icon::Error);
}
