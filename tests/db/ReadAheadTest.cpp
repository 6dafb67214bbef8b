#include "db/ReadAhead.h"
#include "support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace velor;

TEST(ReadAhead, ReadsEveryPriceFileOfTheMasterAndSkipsMissingOnes)
{
    test::ProgramFolder pf;
    pf.writeMaster({{1301, QStringLiteral("極洋"), 1}, {1332, QStringLiteral("日水"), 1}, {9999, QStringLiteral("末尾"), 2}});
    test::writeFile(pf.data + "1301.csv", QByteArray(40000, 'x'));
    test::writeFile(pf.data + "9999.csv", "1,1,1\r\n");

    const std::vector<QByteArray> paths = masterPriceFiles(pf.st);
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_TRUE(paths[0].endsWith("/1301.csv"));
    EXPECT_TRUE(paths[1].endsWith("/1332.csv"));
    EXPECT_TRUE(paths[2].endsWith("/9999.csv"));

    for (const int workers : {1, 2, 8}) {
        PriceReadAhead ahead(paths, workers);
        ahead.wait();
        EXPECT_EQ(ahead.filesRead(), 2) << workers << " workers";
    }
}

TEST(ReadAhead, QuittingDoesNotWaitForTheWholeList)
{
    test::ProgramFolder pf;
    test::writeFile(pf.data + "1301.csv", QByteArray(16384, 'x'));
    // Far more reads than a quit may wait for: the workers stop at the next file.
    const std::vector<QByteArray> paths(200'000, QFile::encodeName(pf.data + "1301.csv"));
    PriceReadAhead ahead(paths);
    ahead.stop();
    EXPECT_LT(ahead.filesRead(), 200'000);
}
