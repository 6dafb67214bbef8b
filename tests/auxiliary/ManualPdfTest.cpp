// The manual: written from its text at build time into a PDF with its title.
#include "auxiliary/ManualPdf.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

QGuiApplication &app()
{
    static int argc = 1;
    static char name[] = "ManualPdfTest";
    static char *argv[] = {name, nullptr};
    static auto *a = new QGuiApplication(argc, argv);   // never destroyed: see GuiApp.h
    return *a;
}

// The document title of a PDF's information dictionary, decoded from its UTF-16 string.
QString pdfTitle(const QByteArray &pdf)
{
    const int at = int(pdf.indexOf("/Title"));
    if (at < 0) return {};
    const int open = int(pdf.indexOf('(', at));
    QByteArray raw;
    for (int i = open + 1; i < pdf.size() && pdf[i] != ')'; ++i) {
        if (pdf[i] == '\\') {
            ++i;
            if (pdf[i] >= '0' && pdf[i] <= '7') {   // octal escape
                int v = 0, n = 0;
                while (n < 3 && pdf[i] >= '0' && pdf[i] <= '7') { v = v * 8 + (pdf[i] - '0'); ++i; ++n; }
                --i;
                raw += char(v);
                continue;
            }
        }
        raw += pdf[i];
    }
    if (raw.startsWith("\xFE\xFF")) {
        QString out;
        for (int i = 2; i + 1 < raw.size(); i += 2) out += QChar(char16_t((uchar(raw[i]) << 8) | uchar(raw[i + 1])));
        return out;
    }
    return QString::fromLatin1(raw);
}

QString cellText(QTextTable &table, int row, int column)
{
    const QTextTableCell cell = table.cellAt(row, column);
    QTextCursor c = cell.firstCursorPosition();
    c.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return c.selectedText();
}

int pageCount(const QByteArray &pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return int(QString::fromLatin1(pdf).count(page));
}

} // namespace

TEST(ManualPdf, TheBuiltManualIsAPdfWithItsTitleAndManyPages)
{
    const QByteArray pdf = readFile(QStringLiteral(VELOR_MANUAL_PDF));
    ASSERT_TRUE(pdf.startsWith("%PDF-1.")) << VELOR_MANUAL_PDF;
    EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));
    EXPECT_EQ(pdfTitle(pdf), QStringLiteral("VELOR 使い方"));
    EXPECT_GE(pageCount(pdf), 15);
}

TEST(ManualPdf, ChaptersAreJoinedInNameOrder)
{
    QTemporaryDir dir;
    writeFile(dir.path() + "/02-b.md", "## 二章\n");
    writeFile(dir.path() + "/01-a.md", "# 一章\n\n本文。\n");
    writeFile(dir.path() + "/notes.txt", "not a chapter");
    const auto text = readManualSource(dir.path());
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, QStringLiteral("# 一章\n\n本文。\n\n\n## 二章\n\n\n"));
}

TEST(ManualPdf, WritesAOnePageManualAndRefusesAnEmptyFolder)
{
    app();
    QTemporaryDir dir;
    writeFile(dir.path() + "/src/01.md", "# 使い方\n\n| キー | 動作 |\n|---|---|\n| F1 | マニュアル |\n");
    const QString out = dir.path() + "/VELORmanual.pdf";
    writeFile(out, "old");
    ASSERT_TRUE(writeManualPdf(dir.path() + "/src", out).has_value());
    const QByteArray pdf = readFile(out);
    EXPECT_TRUE(pdf.startsWith("%PDF-1."));
    EXPECT_EQ(pdfTitle(pdf), QStringLiteral("VELOR 使い方"));
    EXPECT_EQ(pageCount(pdf), 1);
    EXPECT_FALSE(QFile::exists(out + ".part"));

    QDir().mkpath(dir.path() + "/empty");
    const auto r = writeManualPdf(dir.path() + "/empty", dir.path() + "/none.pdf");
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), "no manual chapters (*.md) in " + dir.path() + "/empty");
    EXPECT_FALSE(QFile::exists(dir.path() + "/none.pdf"));
}

namespace {

// Every page of a laid-out manual: tables whole, and no chapter ending with a page of a line or two.
void expectReadablePages(const QString &sourceDir)
{
    QTextDocument doc;
    ASSERT_TRUE(manualDocument(sourceDir, doc).has_value());
    const std::vector<ManualPage> pages = manualPages(doc);
    ASSERT_FALSE(pages.empty());
    const double lines3 = 3 * QFontMetricsF(doc.defaultFont()).lineSpacing();
    for (size_t k = 0; k < pages.size(); ++k) {
        EXPECT_EQ(pages[k].splitTables, 0) << sourceDir.toStdString() << " page " << k + 1;
        EXPECT_EQ(pages[k].splitRows, 0) << sourceDir.toStdString() << " page " << k + 1;
        EXPECT_EQ(pages[k].keptApart, 0) << sourceDir.toStdString() << " page " << k + 1;
        EXPECT_FALSE(pages[k].onlyIntroductions) << sourceDir.toStdString() << " page " << k + 1;
        const bool lastOfChapter = k + 1 == pages.size() || pages[k + 1].chapterStart;
        if (lastOfChapter && !pages[k].chapterStart) {
            EXPECT_GE(pages[k].textHeight, lines3) << sourceDir.toStdString() << " page " << k + 1;
        }
    }
}

} // namespace

TEST(ManualPdf, PagesKeepTablesWholeAndNoChapterEndsWithALoneLine)
{
    app();
    // Chapters of growing length, each a run of paragraphs, a twelve-row table and a last line:
    // one of them lands the table on a page end, others end a line or two into a page.
    QTemporaryDir dir;
    QString md;
    for (int chapter = 1; chapter <= 12; ++chapter) {
        md += QStringLiteral("# 第%1章\n\n").arg(chapter);
        for (int p = 0; p < 8 + chapter * 3; ++p)
            md += QStringLiteral("段落 %1 の本文です。説明の文が続きます。\n\n").arg(p);
        md += QStringLiteral("## 表\n\n| キー | 動作 |\n|---|---|\n");
        for (int r = 0; r < 12; ++r) md += QStringLiteral("| F%1 | 動作 %1 |\n").arg(r);
        md += QStringLiteral("\n最後の一行。\n\n");
    }
    writeFile(dir.path() + "/01.md", md.toUtf8());
    expectReadablePages(dir.path());
    // And the manual itself.
    expectReadablePages(QStringLiteral(VELOR_MANUAL_SOURCE));
}

// A table longer than a page goes on under its header on the next page, no row cut in two, every
// row once and in order, and the heading after it keeps its form.
TEST(ManualPdf, ATableLongerThanAPageContinuesUnderItsHeader)
{
    app();
    QTemporaryDir dir;
    QString md = QStringLiteral("# 困ったとき\n\n## メッセージ\n\n| メッセージ | 原因と対処 |\n|---|---|\n");
    for (int r = 0; r < 70; ++r)
        md += QStringLiteral("| 行 %1 のメッセージが長く続いて二行目に入るまで書かれています | 原因 %1 と対処の説明が二行目まで続きます。もう少し長く書きます |\n").arg(r);
    md += QStringLiteral("\n## 次の節\n\n本文。\n");
    writeFile(dir.path() + "/01.md", md.toUtf8());
    expectReadablePages(dir.path());
    QTextDocument doc;
    ASSERT_TRUE(manualDocument(dir.path(), doc).has_value());
    QStringList firstColumn;
    int tables = 0;
    for (auto it = doc.rootFrame()->begin(); !it.atEnd(); ++it)
        if (auto *table = qobject_cast<QTextTable *>(it.currentFrame())) {
            ++tables;
            EXPECT_EQ(cellText(*table, 0, 0), QStringLiteral("メッセージ"));
            for (int r = 1; r < table->rows(); ++r) firstColumn << cellText(*table, r, 0).section(' ', 1, 1);
        }
    EXPECT_GE(tables, 2);
    QStringList expected;
    for (int r = 0; r < 70; ++r) expected << QString::number(r);
    EXPECT_EQ(firstColumn, expected);
    const QTextBlock heading = doc.findBlock(doc.toPlainText().indexOf(QStringLiteral("次の節")));
    EXPECT_EQ(heading.blockFormat().headingLevel(), 2);
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() > 0) {
            EXPECT_FALSE(b.text().isEmpty());
        }
    }
}

// A heading or a line ending in a colon stays with what it introduces wherever the page ends: a
// synthetic chapter whose filler grows a line at a time puts each of them at every place on the
// page foot once.
TEST(ManualPdf, HeadingsAndColonLinesKeepWithWhatFollows)
{
    app();
    for (int filler = 30; filler < 46; ++filler) {
        QTemporaryDir dir;
        QString md = QStringLiteral("# 第1章\n\n");
        for (int p = 0; p < filler; ++p) md += QStringLiteral("段落 %1 の本文です。\n\n").arg(p);
        md += QStringLiteral("## 1.1 節\n\n例:\n\n```\n$ velor minute collect\n記録=43 記録済み=0 値なし=4 失敗=0\n```\n\n");
        md += QStringLiteral("## 1.2 表の節\n\n| キー | 動作 |\n|---|---|\n");
        for (int r = 0; r < 40; ++r) md += QStringLiteral("| F%1 | 動作 %1 |\n").arg(r);
        md += QStringLiteral("\n注意：\n\n- 最後の項目。\n");
        writeFile(dir.path() + "/01.md", md.toUtf8());
        SCOPED_TRACE(filler);
        expectReadablePages(dir.path());
    }
}
