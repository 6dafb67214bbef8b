// frmAbout and Qt's own texts in Japanese.
#include "auxiliary/About.h"
#include "auxiliary/AboutWindow.h"
#include "auxiliary/QtTranslations.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

struct About : ::testing::Test {
    static void SetUpTestSuite() { ensureGuiApp(); }
    void SetUp() override
    {
        pf.st.BrowserPath = QStringLiteral("/usr/bin/browser");
        pf.st.sites.HomePageUrl = QStringLiteral("https://home.example/");
    }
    ProgramFolder pf;
    TestEnv env;
};

} // namespace

TEST_F(About, ShowsTitleVersionNoticeAndButtons)
{
    AboutWindow w(pf.st, env.services);
    EXPECT_EQ(w.objectName(), "frmAbout");
    EXPECT_EQ(w.windowTitle(), "VELOR Pro  のﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(w.lblVersion->text(), "ﾊﾞｰｼﾞｮﾝ 1.0.0");
    EXPECT_EQ(programVersion(), "1.0.0");
    EXPECT_TRUE(w.lblTitle->text().startsWith("VELOR Pro \r\n\r\n株価収集・表示・分析・監視ソフトウェア。"));
    EXPECT_EQ(w.cmdOK->text(), "OK");
    EXPECT_EQ(w.cmdSysInfo->text(), "ｼｽﾃﾑ情報(&S)...");
    EXPECT_EQ(w.cmdHP->text(), "HPへ");
    EXPECT_EQ(w.cmdHP->toolTip(), "HPへジャンプ");
    EXPECT_FALSE(w.picIcon->pixmap().isNull());
    EXPECT_FALSE(w.isModal());

    w.show();
    saveShot(w, "about");
    QTest::mouseClick(w.cmdHP, Qt::LeftButton);
    EXPECT_EQ(env.launcher.commands, QStringList{"/usr/bin/browser https://home.example/"});
    QTest::mouseClick(w.cmdOK, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(About, SystemInformationListsThePlatformOrSaysItIsUnavailable)
{
    QTemporaryDir proc;
    writeFile(proc.path() + "/cpuinfo", "processor\t: 0\nmodel name\t: Test CPU 3000\n");
    writeFile(proc.path() + "/meminfo", "MemTotal:        4194304 kB\n");
    AboutWindow w(pf.st, env.services);
    w.setProcRoot(proc.path());
    QTest::mouseClick(w.cmdSysInfo, Qt::LeftButton);
    ASSERT_EQ(env.dialogs.shown.size(), 1u);
    const auto &shown = env.dialogs.shown[0];
    EXPECT_EQ(shown.caption, "システム情報");
    EXPECT_EQ(shown.icon, Icon::Information);
    EXPECT_TRUE(shown.text.contains("\nCPU：　Test CPU 3000\nメモリ：　4.0 GB\nQt：　" + QString::fromLatin1(qVersion()) +
                                    "\nプログラムフォルダ：　" + QDir::toNativeSeparators(pf.program) + "\n"))
        << shown.text.toStdString();
    EXPECT_TRUE(shown.text.startsWith("OS：　")) << shown.text.toStdString();
}

TEST(QtJapanese, MessageBoxButtonsSpeakJapanese)
{
    ensureGuiApp();
    ASSERT_TRUE(installQtJapanese(*qApp));
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), "はい(&Y)");
    EXPECT_EQ(box.button(QMessageBox::No)->text(), "いいえ(&N)");
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), "キャンセル");
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), "OK");
}
