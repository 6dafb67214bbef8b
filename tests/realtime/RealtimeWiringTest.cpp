#include "app/MainWindow.h"
#include "app/RealtimeWiring.h"
#include "realtime/QuoteReader.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

TEST(RealtimeWiring, SwitchSetsModeMarksAndOffset)
{
    static int argc = 1;
    static char name[] = "RealtimeWiringTest";
    static char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    TestEnv env;
    State st;
    MainWindow w(st, env.clock, env.net, env.launcher, env.sound, env.dialogs);
    std::vector<int> charts;
    w.on(QStringLiteral("chart"), [&](int mode) { charts.push_back(mode); });
    wireRealtime(w);
    ASSERT_NE(dynamic_cast<QuoteReader *>(w.services().liveQuote), nullptr);

    w.txtPrice->setPlainText(QStringLiteral("取込完了"));
    w.click(QStringLiteral("vec"), 1);
    EXPECT_EQ(st.LiveMode, 1);
    EXPECT_EQ(st.BarOffset, -1);
    EXPECT_TRUE(w.action("vec", 1)->isChecked());
    EXPECT_FALSE(w.action("vec", 2)->isChecked());
    EXPECT_EQ(w.txtPrice->toPlainText(), QStringLiteral("\n取込完了"));

    w.click(QStringLiteral("vec"), 2);
    EXPECT_EQ(st.LiveMode, 0);
    EXPECT_EQ(st.BarOffset, 0);
    EXPECT_FALSE(w.action("vec", 1)->isChecked());
    EXPECT_TRUE(w.action("vec", 2)->isChecked());
    EXPECT_EQ(w.txtPrice->toPlainText(), QStringLiteral("\n\n取込完了"));
    EXPECT_EQ(charts, (std::vector<int>{11, 1}));
}
