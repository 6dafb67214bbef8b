#include "app/CommandLine.h"
#include "app/Startup.h"
#include "support/TestSupport.h"

#include <QLockFile>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

namespace {

// The bytes of a lock file as Qt writes them, naming a process that has ended.
QByteArray lockOfEndedProcess()
{
    QTemporaryDir dir;
    QLockFile real(dir.path() + "/x.lock");
    EXPECT_TRUE(real.tryLock(0));
    QList<QByteArray> lines = test::readFile(dir.path() + "/x.lock").split('\n');
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    lines[0] = QByteArray::number(child);
    return lines.join('\n');
}

} // namespace

// A copy killed while it takes over a stale lock leaves Qt's "velor.lock.rmlock" behind, which
// Qt would honour for 30 seconds: a lock whose owner is gone is taken over at once, whatever of
// its files is left.
TEST(Startup, ALockWhoseOwnerIsGoneIsTakenOverWhateverFileIsLeft)
{
    const QByteArray ended = lockOfEndedProcess();
    const struct { const char *name; QByteArray lock, rmlock; bool hasRmlock; } cases[] = {
        {"ended owner, empty rmlock", ended, QByteArray(), true},
        {"ended owner, rmlock cut short", ended, ended.left(3), true},
        {"ended owner, rmlock of an ended copy", ended, ended, true},
        {"empty lock, empty rmlock", QByteArray(), QByteArray(), true},
        {"ended owner alone", ended, QByteArray(), false},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        test::writeFile(dir.path() + "/velor.lock", c.lock);
        if (c.hasRmlock) test::writeFile(dir.path() + "/velor.lock.rmlock", c.rmlock);
        InstanceLock lock;
        EXPECT_TRUE(lock.tryLock(dir.path())) << c.name;
        EXPECT_EQ(lock.failure(), InstanceLock::Failure::None) << c.name;
        InstanceLock second;
        EXPECT_FALSE(second.tryLock(dir.path())) << c.name;   // now held like any other lock
        EXPECT_EQ(second.failure(), InstanceLock::Failure::Held) << c.name;
    }
}

// A lock naming this host and an ended process, but another machine id (the machine id was made
// anew, or the folder was copied from a twin of this host): Qt's own check takes it for another
// machine's lock and never frees it; the check of the host name and the process frees it.
TEST(Startup, ALockOfThisHostWithAnotherMachineIdAndAnEndedOwnerIsTakenOver)
{
    QList<QByteArray> lines = lockOfEndedProcess().split('\n');
    ASSERT_GE(lines.size(), 4);
    if (lines[3].isEmpty()) GTEST_SKIP() << "this machine has no machine id";
    lines[3] = QByteArray(lines[3].size(), 'f') == lines[3] ? QByteArray(lines[3].size(), '0') : QByteArray(lines[3].size(), 'f');
    const QByteArray lock = lines.join('\n');
    {
        // Qt alone keeps refusing it.
        QTemporaryDir dir;
        test::writeFile(dir.path() + "/velor.lock", lock);
        QLockFile qtOnly(dir.path() + "/velor.lock");
        qtOnly.setStaleLockTime(0);
        EXPECT_FALSE(qtOnly.tryLock(0));
    }
    QTemporaryDir dir;
    test::writeFile(dir.path() + "/velor.lock", lock);
    InstanceLock taken;
    EXPECT_TRUE(taken.tryLock(dir.path()));
    EXPECT_EQ(taken.failure(), InstanceLock::Failure::None);
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
