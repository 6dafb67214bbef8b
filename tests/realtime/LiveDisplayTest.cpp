#include "realtime/LiveDisplay.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velor;

TEST(LiveDisplay, OnAndOff)
{
    struct Case { int index; int16_t live; int16_t offset; bool on, off; int redraw; };
    const Case cases[] = {{1, 1, -1, true, false, 11}, {2, 0, 0, false, true, 1}};
    for (const Case &c : cases) {
        State st;
        TextShell shell;
        shell.prependMessage(QStringLiteral("前の行"));
        st.LiveMode = c.index == 1 ? 0 : 1;
        st.BarOffset = c.index == 1 ? 0 : -1;
        const VecChecks k = vec_Click(st, shell, c.index);
        EXPECT_EQ(st.LiveMode, c.live);
        EXPECT_EQ(st.BarOffset, c.offset);
        EXPECT_EQ(k.on, c.on);
        EXPECT_EQ(k.off, c.off);
        EXPECT_EQ(shell.redraws(), std::vector<int>{c.redraw});
        EXPECT_EQ(shell.messages(), QStringLiteral("\r\n前の行"));
    }
}

TEST(LiveDisplay, OtherIndexChangesNothing)
{
    State st;
    TextShell shell;
    st.LiveMode = 1;
    st.BarOffset = -1;
    const VecChecks k = vec_Click(st, shell, 3);
    EXPECT_TRUE(k.on);
    EXPECT_FALSE(k.off);
    EXPECT_EQ(st.BarOffset, -1);
    EXPECT_TRUE(shell.redraws().empty());
    EXPECT_EQ(shell.messages(), QString());
}
