#include "common/Cp932.h"
#include "db/StockMaster.h"
#include "support/TestSupport.h"

#include "db/Settings.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velor;

TEST(StockMaster, NamesAreHeldAsFiveCharacters)
{
    test::ProgramFolder pf;
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 0},
                    {1301, QStringLiteral("ABCDEFGHIJ"), 1},
                    {1332, QStringLiteral("新規銘柄　"), 2}});
    EXPECT_EQ(pf.st.StockCount, 3);
    EXPECT_EQ(pf.st.StockName[2], QStringLiteral("ABCDE     "));
    EXPECT_EQ(pf.st.StockName[3], QStringLiteral("新規銘柄　     "));
    EXPECT_EQ(pf.st.StockName[1], QStringLiteral("日経平均      "));
    EXPECT_EQ(pf.st.StockIndex[1332], 3);
    EXPECT_EQ(pf.st.StockSection[3], 2);
    EXPECT_EQ(pf.st.StockIndex[1302], 0);

    // Exact bytes: header slot, then code, 10-byte name, section.
    const QByteArray bytes = test::readFile(pf.st.MasterPath);
    ASSERT_EQ(bytes.size(), 14 * 4);
    EXPECT_EQ(bytes.left(14).toHex(), QByteArray("03002c012c012c01000000000000"));
    EXPECT_EQ(bytes.mid(28, 14), QByteArray("\x15\x05" "ABCDEFGHIJ" "\x01\x00", 14));
    EXPECT_EQ(bytes.mid(42 + 2, 10), toCp932(QStringLiteral("新規銘柄　")));

    // A reload that dropped a code clears its index.
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}});
    EXPECT_EQ(pf.st.StockIndex[1332], 0);
    EXPECT_EQ(pf.st.StockCount, 1);
}

TEST(StockMaster, BrokenMastersAreRefusedAndKeepTheTables)
{
    test::ProgramFolder pf;
    pf.writeMaster({{1301, QStringLiteral("極洋"), 1}});
    const QString expected = pf.st.MasterPath + QStringLiteral(" からデータを読み込む際、エラーが発生しました\r\n\r\n終了します");
    struct Case { const char *what; QByteArray bytes; };
    QByteArray shortOne = test::readFile(pf.st.MasterPath);
    shortOne[0] = 2;   // header says two entries, one is there
    QByteArray badCode = test::readFile(pf.st.MasterPath);
    badCode[14] = char(0x10);
    badCode[15] = char(0x27);   // 10000
    const Case cases[] = {{"shorter than its header", shortOne}, {"code 10000", badCode}, {"empty", QByteArray()}};
    for (const auto &c : cases) {
        test::writeFile(pf.st.MasterPath, c.bytes);
        auto r = MEIGARAIN(pf.st);
        ASSERT_FALSE(r.has_value()) << c.what;
        EXPECT_EQ(r.error(), expected) << c.what;
        EXPECT_EQ(pf.st.StockCount, 1) << c.what;
        EXPECT_EQ(pf.st.StockIndex[1301], 1) << c.what;
    }
}

TEST(StockMaster, ReservedBytesSurviveARewrite)
{
    test::ProgramFolder pf;
    MasterHeader h;
    h.reserved = QByteArray("\x01\x02\x03\x04\x05\x06", 6);
    ASSERT_TRUE(writeMaster(pf.st.MasterPath, h, {{1301, QStringLiteral("極洋"), 1}}).has_value());
    auto back = readMasterHeader(pf.st.MasterPath);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->reserved, h.reserved);
    EXPECT_EQ(back->StockCount, 1);
}

TEST(StockMaster, CodesWithLettersGoToTheTailAndOldReadersRefuseThem)
{
    test::ProgramFolder pf;
    const int a = *codeFromText(std::string_view("130A")), b = *codeFromText(std::string_view("9A7A"));
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1}, {a, QStringLiteral("新興"), 4},
                    {9999, QStringLiteral("末尾"), 2}, {b, QStringLiteral("新規銘柄　"), 1}});
    ASSERT_EQ(pf.st.StockCount, 5);
    EXPECT_EQ(pf.st.StockCode[3], a);
    EXPECT_EQ(pf.st.StockCode[5], b);
    EXPECT_EQ(pf.st.entryOf(a), 3);
    EXPECT_EQ(pf.st.entryOf(b), 5);
    EXPECT_EQ(pf.st.StockSection[3], 4);
    EXPECT_EQ(pf.st.nameOf(a), QStringLiteral("新興        "));

    // The slots hold -1 and -2; the tail names them in that order.
    const QByteArray bytes = test::readFile(pf.st.MasterPath);
    ASSERT_EQ(bytes.size(), 14 * 6 + 4 + 8);
    EXPECT_EQ(bytes.mid(14 * 3, 2).toHex(), QByteArray("ffff"));
    EXPECT_EQ(bytes.mid(14 * 5, 2).toHex(), QByteArray("feff"));
    EXPECT_EQ(bytes.mid(14 * 6), QByteArray("LTCD130A9A7A"));
    // What a reader of digit codes only does with such a slot: a code outside 1..9999.
    EXPECT_LT(int16_t(uint8_t(bytes[14 * 3]) | uint8_t(bytes[14 * 3 + 1]) << 8), 1);

    // Digit codes only: no tail, the bytes of before.
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1}});
    EXPECT_EQ(test::readFile(pf.st.MasterPath).size(), 14 * 3);
    EXPECT_EQ(pf.st.entryOf(a), 0);

    // A slot of letters whose tail is missing, cut, or names a digit code is refused.
    const QString expected = pf.st.MasterPath + QStringLiteral(" からデータを読み込む際、エラーが発生しました\r\n\r\n終了します");
    const QByteArray good = bytes;
    struct Case { const char *what; QByteArray bytes; };
    const Case cases[] = {{"no tail", good.left(14 * 6)},
                          {"tail cut", good.left(good.size() - 1)},
                          {"wrong tag", good.left(14 * 6) + "LTCX130A9A7A"},
                          {"digit code in the tail", good.left(14 * 6) + "LTCD13019A7A"},
                          {"slot 0", QByteArray(good).replace(14 * 3, 2, QByteArray("\0\0", 2))},
                          {"slot beyond the tail", QByteArray(good).replace(14 * 3, 2, QByteArray("\xfd\xff", 2))}};
    for (const auto &c : cases) {
        test::writeFile(pf.st.MasterPath, c.bytes);
        auto r = MEIGARAIN(pf.st);
        ASSERT_FALSE(r.has_value()) << c.what;
        EXPECT_EQ(r.error(), expected) << c.what;
        EXPECT_FALSE(parseMaster(c.bytes, pf.st.MasterPath, false).has_value()) << c.what;   // refused without the names too
    }
    // Read without the names: the same codes and sections, every name empty.
    const auto full = parseMaster(good, pf.st.MasterPath), codes = parseMaster(good, pf.st.MasterPath, false);
    ASSERT_TRUE(full && codes);
    ASSERT_EQ(codes->entries.size(), 5u);
    for (size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(codes->entries[k].code, full->entries[k].code);
        EXPECT_EQ(codes->entries[k].section, full->entries[k].section);
        EXPECT_TRUE(codes->entries[k].name.isEmpty());
    }
    EXPECT_EQ(codes->entries[4].code, b);
}

// A FIFO (or a folder) where meigara.dat belongs is named as what it is, not as a missing file,
// and reading it never waits for a writer.
TEST(StockMaster, AFifoInPlaceOfTheMasterIsNotCalledMissing)
{
    test::ProgramFolder pf;
    test::writeFile(pf.program + "VELOR.ini", test::validSettings(pf.data));
    const QString master = pf.data + "meigara.dat";
    const struct { const char *what; int kind; QString text; } cases[] = {
        {"FIFO", 1, QStringLiteral(" は通常のファイルではありません。終了します。")},
        {"folder", 2, QStringLiteral(" は通常のファイルではありません。終了します。")},
        {"missing", 0, QStringLiteral(" がありません。終了します。")},
    };
    for (const auto &c : cases) {
        QFile::remove(master);
        QDir(master).removeRecursively();
        if (c.kind == 1) ASSERT_EQ(::mkfifo(QFile::encodeName(master).constData(), 0600), 0);
        if (c.kind == 2) ASSERT_TRUE(QDir().mkpath(master));
        State st;
        st.ProgramDir = pf.program;
        test::ScriptedDialogs dialogs;
        EXPECT_FALSE(ReadSettings(st, dialogs)) << c.what;
        ASSERT_EQ(dialogs.texts().size(), 1) << c.what;
        EXPECT_EQ(dialogs.texts()[0], QStringLiteral("銘柄ファイル：　") + master + c.text) << c.what;
    }
    QDir(master).removeRecursively();
    ASSERT_EQ(::mkfifo(QFile::encodeName(master).constData(), 0600), 0);
    pf.st.MasterPath = master;
    EXPECT_EQ(MEIGARAIN(pf.st).error(), QStringLiteral("ファイル：　") + master + QStringLiteral(" は通常のファイルではありません。"));
}
