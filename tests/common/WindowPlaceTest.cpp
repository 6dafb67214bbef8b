// Placement of the windows opened beside the main window, against literal screens.
#include "common/WindowPlace.h"

#include <gtest/gtest.h>

using namespace velor;

TEST(WindowPlace, ClearOfTheChartAndTheListWhereTheScreenHasRoom)
{
    // The main window in its default place: the chart and the stock list take (15,90)-(664,689).
    const QRect keep(15, 90, 650, 600);
    const QSize monitor(1006, 676), monitorLeast(606, 430), ranking(528, 720), rankingLeast(326, 330);
    struct Row {
        const char *what;
        QPoint wanted;
        QSize size, least;
        QRect keep, available, placed;
    } rows[] = {
        {"ranking beside the main window already clear", {850, 7}, ranking, rankingLeast, keep, {0, 0, 1920, 1040},
         {850, 7, 528, 720}},
        {"ranking never above the screen's top (panel of 27)", {850, -13}, ranking, rankingLeast, keep,
         {0, 27, 1920, 1013}, {850, 27, 528, 720}},
        {"monitor over the chart moves to its right", {24, 24}, monitor, monitorLeast, keep, {0, 0, 1920, 1040},
         {668, 24, 1006, 676}},
        {"narrow screen: to the right, made narrower", {24, 24}, monitor, monitorLeast, keep, {0, 0, 1366, 728},
         {668, 24, 698, 676}},
        {"ranking on a narrow screen: right, narrower", {850, 7}, ranking, rankingLeast, keep, {0, 0, 1024, 728},
         {668, 7, 356, 720}},
        {"portrait screen: below", {24, 24}, monitor, monitorLeast, keep, {0, 0, 1200, 1920}, {24, 693, 1006, 676}},
        {"main window at the right: to the left", {1217, 24}, monitor, monitorLeast, {1200, 90, 650, 600},
         {0, 0, 1920, 1040}, {191, 24, 1006, 676}},
        {"no room anywhere: where asked, on the screen", {24, 24}, monitor, monitorLeast, {15, 90, 650, 480},
         {0, 0, 1024, 600}, {18, 0, 1006, 600}},
        {"larger than the screen: shrunk to it", {-50, -40}, {2000, 1200}, monitorLeast, {}, {0, 0, 1920, 1040},
         {0, 0, 1920, 1040}},
        {"no screen: left where asked", {24, -13}, monitor, monitorLeast, keep, {}, {24, -13, 1006, 676}},
        {"second screen to the right", {1950, 24}, monitor, monitorLeast, {1935, 90, 650, 600}, {1920, 0, 1280, 1024},
         {2588, 24, 612, 676}},
    };
    for (const Row &r : rows) {
        const QRect got = placedClearOf(r.wanted, r.size, r.least, r.keep, r.available, 3);
        EXPECT_EQ(got, r.placed) << r.what;
        if (!r.available.isEmpty()) EXPECT_TRUE(r.available.contains(got)) << r.what;
    }
}

TEST(WindowPlace, FrameMarginsBeforeAndAfterTheWindowManager)
{
    const QRect likeFrame(7, 7, 840, 720), likeClient(11, 33, 832, 690);
    // Framed: its own frame.
    EXPECT_EQ(frameMarginsOf({10, 20, 300, 200}, {14, 45, 292, 171}, likeFrame, likeClient), QMargins(4, 25, 4, 4));
    // Not framed yet (frame == client): the main window's frame.
    EXPECT_EQ(frameMarginsOf({10, 20, 300, 200}, {10, 20, 300, 200}, likeFrame, likeClient), QMargins(4, 26, 4, 4));
}
