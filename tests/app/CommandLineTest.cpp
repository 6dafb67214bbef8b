#include "app/CommandLine.h"
#include "app/Startup.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velor;

TEST(CommandLine, GlobalOptionsAndCommands)
{
    auto o = parseCommandLine({"velor", "--home", "/h", "--now", "2024-01-05 09:35", "chart", "1301", "--png", "x.png"});
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->home, "/h");
    EXPECT_EQ(o->now, "2024-01-05 09:35");
    EXPECT_EQ(o->command, "chart");
    EXPECT_EQ(o->args, (QStringList{"1301", "--png", "x.png"}));

    auto window = parseCommandLine({"velor", "--yes"});
    ASSERT_TRUE(window.has_value());
    EXPECT_TRUE(window->yes);
    EXPECT_TRUE(window->command.isEmpty());

    EXPECT_FALSE(parseCommandLine({"velor", "--home"}).has_value());
    EXPECT_FALSE(parseCommandLine({"velor", "--now", "tomorrow"}).has_value());
    EXPECT_FALSE(parseCommandLine({"velor", "--bogus"}).has_value());
    EXPECT_EQ(runCommand(*parseCommandLine({"velor", "nosuch"}), "/"), 2);
    EXPECT_EQ(runCommand(*parseCommandLine({"velor", "demo"}), "/"), 2);
    EXPECT_EQ(runCommand(*parseCommandLine({"velor", "demo", "/tmp/x", "--stocks", "many"}), "/"), 2);
}

TEST(Startup, OneCopyPerProgramFolder)
{
    QTemporaryDir dir;
    InstanceLock first, second;
    EXPECT_TRUE(first.tryLock(dir.path()));
    EXPECT_FALSE(second.tryLock(dir.path()));
    EXPECT_EQ(resolveProgramDir(dir.path(), "/elsewhere"), dir.path() + '/');
}

TEST(Startup, ALockLeftHalfWrittenByAKilledCopyIsTakenOver)
{
    // Killed between creating the lock file and writing its owner into it.
    QTemporaryDir dir;
    test::writeFile(dir.path() + "/velor.lock", QByteArray());
    InstanceLock lock;
    EXPECT_TRUE(lock.tryLock(dir.path()));
    InstanceLock second;
    EXPECT_FALSE(second.tryLock(dir.path()));   // and it now holds like any other lock
}

TEST(CommandLine, CommandsOnABrokenProgramFolderFailWithAnError)
{
    // Fatal start-up messages have no icon in the window; a command reports them as errors.
    QTemporaryDir dir;
    struct Case { const char *what; QStringList args; };
    const Case cases[] = {
        {"export", {"velor", "--home", dir.path(), "export", "1301"}},
        {"watch list", {"velor", "--home", dir.path(), "watch", "list", "1"}},
        {"import", {"velor", "--home", dir.path(), "import"}},
    };
    for (const auto &c : cases) {
        testing::internal::CaptureStderr();
        const int code = runCommand(*parseCommandLine(c.args), "/");
        const QString err = QString::fromUtf8(testing::internal::GetCapturedStderr());
        EXPECT_EQ(code, 1) << c.what;
        EXPECT_EQ(err, QStringLiteral("error: 初期設定ファイル：　") + dir.path() + QStringLiteral("/VELOR.ini がありません。終了します。\n"))
            << c.what;
    }
}
