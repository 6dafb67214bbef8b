#include "formula/SavedScreens.h"

#include "common/Cp932.h"
#include "common/TextFile.h"
#include "formula/Formula.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velor;

TEST(SavedScreens, LinesThatAreScreensAndLinesThatAreNot)
{
    struct Case {
        const char16_t *line;
        bool screen;
    };
    const Case cases[] = {
        {u"上昇\tC > C[1]\tC - C[1]\tbottom\t5\t2", true}, {u"短い\tC > 0", true}, {u"三つ\tC > 0\t", true},
        {u"名前だけ", false}, {u"\tC > 0", false}, {u" 空白\tC > 0", false}, {u"空の式\t  ", false},
        {u"順\tC\tC\tdown", false}, {u"行\tC\tC\ttop\t1001", false}, {u"行\tC\tC\ttop\t-1", false},
        {u"行\tC\tC\ttop\tx", false}, {u"対象\tC\tC\ttop\t0\t4", false}, {u"多い\tC\tC\ttop\t0\tall\tx", false},
        {u"RSI\tC > 0", false}, {u"-x\tC > 0", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(bool(SavedScreens::parseLine(QString::fromUtf16(c.line))), c.screen) << QString::fromUtf16(c.line).toStdString();
    const auto s = SavedScreens::parseLine(QStringLiteral("上昇\tC > C[1]\tC - C[1]\tbottom\t5\t2"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->name, QStringLiteral("上昇"));
    EXPECT_EQ(s->filter, QStringLiteral("C > C[1]"));
    EXPECT_EQ(s->score, QStringLiteral("C - C[1]"));
    EXPECT_TRUE(s->bottom);
    EXPECT_EQ(s->rows, 5);
    EXPECT_EQ(s->scope, ScreenScope::List2);
    EXPECT_EQ(SavedScreens::lineOf(*s), QStringLiteral("上昇\tC > C[1]\tC - C[1]\tbottom\t5\t2"));
    // Line ends typed inside a formula are blanks in the file.
    FormulaScreenText t;
    t.name = QStringLiteral("改行");
    t.filter = QStringLiteral("C > 1\r\nAND V > 0\t");
    EXPECT_EQ(SavedScreens::lineOf(t), QStringLiteral("改行\tC > 1  AND V > 0\t\ttop\t0\tall"));
    EXPECT_EQ(SavedScreens::nameProblem(QString(41, u'a')), QStringLiteral("名前が長すぎます（40 文字まで）"));
    EXPECT_EQ(SavedScreens::nameProblem(QStringLiteral("a\tb")), QStringLiteral("名前にタブや改行は使えません"));
    EXPECT_EQ(SavedScreens::nameProblem(QStringLiteral("株😀")), QStringLiteral("名前に保存できない文字があります"));
    EXPECT_EQ(SavedScreens::nameProblem(QStringLiteral("Kairi")), QStringLiteral("「Kairi」は組み込みの検索の名前です"));
}

TEST(SavedScreens, RewritesKeepOtherLinesByteForByteAndAFullDiskLosesNothing)
{
    QTemporaryDir dir;
    const QString path = SavedScreens::pathIn(dir.path());
    // A byte-order mark, a comment, a second line of a taken name, a broken byte, no final line end.
    const QByteArray before = "\xEF\xBB\xBF; memo\r\n" + toCp932(u"上昇\tC > 0\r\n上昇\tC > 1\r\n") + "\x81\r\nA\tV > 0";
    test::writeFile(path, before);
    auto saved = SavedScreens::load(path);
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->screens().size(), 2u);
    EXPECT_EQ(saved->find(QStringLiteral("上昇"))->filter, QStringLiteral("C > 0"));
    FormulaScreenText t;
    t.name = QStringLiteral("上昇");
    t.filter = QStringLiteral("C > 2");
    saved->put(t);
    t.name = QStringLiteral("新");
    saved->put(t);
    EXPECT_TRUE(saved->remove(QStringLiteral("A")));
    EXPECT_FALSE(saved->remove(QStringLiteral("A")));
    const QByteArray after = "; memo\r\n" + toCp932(u"上昇\tC > 2\t\ttop\t0\tall\r\n上昇\tC > 1\r\n") + "\x81\r\n" +
                             toCp932(u"新\tC > 2\t\ttop\t0\tall\r\n");
    EXPECT_EQ(saved->bytes(), after);
    {
        DiskSpaceLimit full(10);
        EXPECT_FALSE(saved->save(path));
    }
    EXPECT_EQ(test::readFile(path), before);
    ASSERT_TRUE(saved->save(path));
    EXPECT_EQ(test::readFile(path), after);
    // A missing file is an empty list; a folder where the file should be is an error.
    EXPECT_TRUE(SavedScreens::load(dir.path() + "/none.dat")->screens().empty());
    EXPECT_FALSE(SavedScreens::load(dir.path()));
}

TEST(SavedScreens, ExamplesCompileAndTakeTheSettingsPeriods)
{
    const auto examples = exampleScreens(9, 26, 25, 12);
    ASSERT_EQ(examples.size(), 25u);
    EXPECT_EQ(SavedScreens::lineOf(examples[0]), QStringLiteral("RSI大\tRSI(9) > 0.5\tRSI(9)\ttop\t0\tall"));
    EXPECT_EQ(SavedScreens::lineOf(examples[7]),
              QStringLiteral("RCI小×出来高上昇率\tV * RCI(26) / V[1] < 0\tV * RCI(26) / V[1]\tbottom\t0\tall"));
    EXPECT_EQ(SavedScreens::lineOf(examples[8]), QStringLiteral("乖離率大\tKAIRI(25) > 1\tKAIRI(25)\ttop\t0\tall"));
    EXPECT_EQ(SavedScreens::lineOf(examples[11]), QStringLiteral("サイコロジカル小\tPSY(12) < 0.5\tPSY(12)\tbottom\t0\tall"));
    for (const FormulaScreenText &e : examples) {
        EXPECT_FALSE(SavedScreens::nameProblem(e.name)) << e.name.toStdString();
        EXPECT_TRUE(formula::compile(e.filter)) << e.filter.toStdString();
        if (!e.score.isEmpty()) {
            EXPECT_TRUE(formula::compile(e.score)) << e.score.toStdString();
        }
    }
}
