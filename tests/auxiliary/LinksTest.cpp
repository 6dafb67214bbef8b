// The commands that open things outside the program, through the Launcher seam: the exact
// command lines, and the one message a failed start shows.
#include "auxiliary/Links.h"
#include "auxiliary/SystemInfo.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

// Every start fails, as with no browser, no file manager and no editor installed.
class FailingLauncher final : public Launcher {
public:
    bool startCommand(const QString &c) override { tried << c; return false; }
    bool openUrl(const QString &b, const QString &a) override { tried << b + ' ' + a; return false; }
    bool openFolder(const QString &p) override { tried << QStringLiteral("folder ") + p; return false; }
    bool openInEditor(const QString &p) override { tried << QStringLiteral("editor ") + p; return false; }
    QStringList tried;
};

struct LinksFixture : ::testing::Test {
    void SetUp() override
    {
        pf.st.BrowserPath = QStringLiteral("/usr/bin/browser");
        for (int i = 0; i < 15; ++i) pf.st.InfoUrl[size_t(i)] = QStringLiteral("https://info.example/%1").arg(i);
        pf.st.BrokerUrl = {"https://b0.example", "https://b1.example", "https://b2.example", "https://b3.example"};
        pf.st.FavoriteUrl = {"https://f0.example", "", "/home/user/メモ.html", "https://f3.example", "https://vector.example"};
        pf.st.sites.HomePageUrl = QStringLiteral("https://home.example/");
    }
    ProgramFolder pf;
    TestEnv env;
};

} // namespace

TEST_F(LinksFixture, LinkItemsPassTheSettingsEntryToTheBrowserAsItStands)
{
    F800_Click(pf.st, env.services, 0);
    F800_Click(pf.st, env.services, 14);
    F805_Click(pf.st, env.services, 3);
    F806_Click(pf.st, env.services, 1);   // an empty entry: the browser gets only the blank
    F806_Click(pf.st, env.services, 2);   // a local file path is opened like an address
    F806_Click(pf.st, env.services, 4);
    F806_Click(pf.st, env.services, 5);   // VELORのお部屋: no command
    cmdHP_Click(pf.st, env.services);
    EXPECT_EQ(env.launcher.commands,
              (QStringList{"/usr/bin/browser https://info.example/0", "/usr/bin/browser https://info.example/14",
                           "/usr/bin/browser https://b3.example", "/usr/bin/browser ", "/usr/bin/browser /home/user/メモ.html",
                           "/usr/bin/browser https://vector.example", "/usr/bin/browser https://home.example/"}));
    EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(LinksFixture, InboxFolderIsOpenedEvenWhenItDoesNotExist)
{
    ASSERT_TRUE(QDir(pf.data + "tmp").removeRecursively());
    F888_Click(pf.st, env.services);
    EXPECT_EQ(env.launcher.commands, QStringList{"folder " + pf.data + "tmp"});
    EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(LinksFixture, ManualAndLogOpenWhenTheyExistAndAreReportedWhenNot)
{
    F00554_Click(pf.st, env.services);
    HHLP_Click(pf.st, env.services);
    EXPECT_TRUE(env.launcher.commands.isEmpty());
    ASSERT_EQ(env.dialogs.shown.size(), 2u);
    EXPECT_EQ(env.dialogs.shown[0].text, "ログ・ファイル：　" + QDir::toNativeSeparators(pf.data + "VELOR.log") +
                                             " はまだありません。取り込みで新規銘柄の追加や部の変更があったときに作られます。");
    EXPECT_EQ(env.dialogs.shown[0].icon, Icon::Information);
    EXPECT_EQ(env.dialogs.shown[1].text, "マニュアル：　" + QDir::toNativeSeparators(pf.program + "VELORmanual.pdf") + " がありません。");
    EXPECT_EQ(env.dialogs.shown[1].icon, Icon::Warning);

    writeFile(pf.data + "VELOR.log", "20261130：　新規銘柄： 9999, 新規銘柄　(1) を追加。\r\n");
    writeFile(pf.program + "VELORmanual.pdf", "%PDF-1.4\n%%EOF\n");
    F00554_Click(pf.st, env.services);
    HHLP_Click(pf.st, env.services);
    EXPECT_EQ(env.launcher.commands,
              (QStringList{"editor " + pf.data + "VELOR.log", "/usr/bin/browser " + pf.program + "VELORmanual.pdf"}));
    EXPECT_EQ(env.dialogs.shown.size(), 2u);
}

TEST_F(LinksFixture, EveryFailedStartSaysWhatCouldNotBeStarted)
{
    FailingLauncher failing;
    Services sv{env.clock, env.net, failing, env.sound, env.dialogs, env.shell, nullptr};
    writeFile(pf.data + "VELOR.log", "x\r\n");
    writeFile(pf.program + "VELORmanual.pdf", "%PDF-1.4\n%%EOF\n");
    F800_Click(pf.st, sv, 2);
    F888_Click(pf.st, sv);
    F00554_Click(pf.st, sv);
    HHLP_Click(pf.st, sv);
    EXPECT_EQ(failing.tried, (QStringList{"/usr/bin/browser https://info.example/2", "folder " + pf.data + "tmp",
                                         "editor " + pf.data + "VELOR.log", "/usr/bin/browser " + pf.program + "VELORmanual.pdf"}));
    QStringList texts;
    for (const auto &s : env.dialogs.shown) {
        texts << s.text;
        EXPECT_EQ(s.icon, Icon::Error) << s.text.toStdString();
    }
    const QString noBrowser = "ブラウザ：　/usr/bin/browser がないため既定のブラウザで開こうとしましたが、起動できませんでした。";
    // Each names what could not be opened: the link's address, the folder, the log, the manual.
    EXPECT_EQ(texts, (QStringList{noBrowser + "\r\n開けなかったもの：　https://info.example/2",
                                  "フォルダ：　" + QDir::toNativeSeparators(pf.data + "tmp") + " を開けませんでした。",
                                  "エディタで " + QDir::toNativeSeparators(pf.data + "VELOR.log") + " を開けませんでした。",
                                  noBrowser + "\r\n開けなかったもの：　" + QDir::toNativeSeparators(pf.program + "VELORmanual.pdf")}));
    // A browser program that exists but would not start is named as such.
    pf.st.BrowserPath = QStringLiteral("/bin/sh");
    env.dialogs.shown.clear();
    F805_Click(pf.st, sv, 0);
    ASSERT_EQ(env.dialogs.shown.size(), 1u);
    EXPECT_EQ(env.dialogs.shown[0].text,
              "ブラウザ：　" + pf.st.BrowserPath + " を起動できませんでした。\r\n開けなかったもの：　https://b0.example");
}

TEST(SystemInfo, ProcessorAndMemoryAreReadFromThePlatformFiles)
{
    const QString cpuinfo = "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n\n"
                            "processor\t: 1\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n";
    EXPECT_EQ(cpuFromCpuinfo(cpuinfo), "Intel(R) Xeon(R) CPU @ 2.20GHz × 2");
    EXPECT_EQ(cpuFromCpuinfo("processor\t: 0\nmodel name\t: ARM   Cortex\n"), "ARM Cortex");
    EXPECT_EQ(cpuFromCpuinfo("processor\t: 0\n"), "");
    EXPECT_EQ(memoryFromMeminfo("MemTotal:       16318412 kB\nMemFree:  1 kB\n"), "15.6 GB");
    EXPECT_EQ(memoryFromMeminfo("MemFree:  1 kB\n"), "");

    QTemporaryDir proc;
    writeFile(proc.path() + "/cpuinfo", cpuinfo.toUtf8());
    writeFile(proc.path() + "/meminfo", "MemTotal:        8388608 kB\n");
    SystemInfo info = readSystemInfo(proc.path(), "/opt/velor/", "/opt/velor/data/");
    EXPECT_TRUE(systemInfoAvailable(info));
    EXPECT_EQ(info.cpu, "Intel(R) Xeon(R) CPU @ 2.20GHz × 2");
    EXPECT_EQ(info.memory, "8.0 GB");
    info.os = "Debian GNU/Linux 12 (bookworm)";
    info.kernel = "linux 6.1.0-13-amd64";
    info.qt = "6.4.2";
    EXPECT_EQ(systemInfoText(info), "OS：　Debian GNU/Linux 12 (bookworm)\nカーネル：　linux 6.1.0-13-amd64\n"
                                    "CPU：　Intel(R) Xeon(R) CPU @ 2.20GHz × 2\nメモリ：　8.0 GB\nQt：　6.4.2\n"
                                    "プログラムフォルダ：　/opt/velor/\n株価データフォルダ：　/opt/velor/data/");
    EXPECT_FALSE(systemInfoAvailable(SystemInfo{}));
}

TEST(SystemLauncher, AMissingFolderIsReportedAsNotOpened)
{
    // Desktop handlers fail on a missing folder without a word; the launcher says so itself.
    QTemporaryDir dir;
    SystemLauncher launcher;
    EXPECT_FALSE(launcher.openFolder(dir.path() + "/no-such-folder"));
}
