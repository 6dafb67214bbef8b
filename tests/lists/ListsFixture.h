#pragma once
// A program folder with a small master, the fakes, and a list held as text.
#include "lists/ListView.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace velor::test {

// Entries 1..7: 1001, 1002, 1301, 1332, 1333 (a six-character name), 1400 (section 5), 1500.
inline void writeSmallMaster(ProgramFolder &pf)
{
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 0},
                    {1002, QStringLiteral("TOPIX"), 0},
                    {1301, QStringLiteral("極洋"), 1},
                    {1332, QStringLiteral("日本水産"), 1},
                    {1333, QStringLiteral("マルハニチロ"), 1},
                    {1400, QStringLiteral("ルーデン"), 5},
                    {1500, QStringLiteral("ABCDEFGHIJ"), 2}});
}

class ListsFixture : public ::testing::Test {
protected:
    void SetUp() override { writeSmallMaster(pf); }
    QString file(const char *name) const { return pf.program + QString::fromLatin1(name); }
    void writeList(const char *name, const QByteArray &bytes) { writeFile(file(name), bytes); }

    ProgramFolder pf;
    TestEnv env;
    MemoryListView view;
    Lists lists{pf.st, env.services, view};
};

} // namespace velor::test
