#include "auxiliary/ManualPdf.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPageLayout>
#include <QPdfWriter>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QUrl>
#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTextFrame>
#include <QTextTable>
#include <algorithm>
#include <vector>

namespace velor {

std::expected<QString, QString> readManualSource(const QString &sourceDir)
{
    const QDir dir(sourceDir);
    const QStringList files = dir.entryList({QStringLiteral("*.md")}, QDir::Files, QDir::Name);
    if (files.isEmpty()) return std::unexpected(QStringLiteral("no manual chapters (*.md) in ") + sourceDir);
    QString text;
    for (const QString &name : files) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) return std::unexpected(QStringLiteral("cannot read ") + f.fileName());
        text += QString::fromUtf8(f.readAll()) + QStringLiteral("\n\n");
    }
    return text;
}

namespace {

// Screenshots wider than the text column are drawn at its width.
void fitPictures(QTextDocument &doc)
{
    constexpr double kMaxWidth = 600.0;   // document units: the column of an A4 page with its margins
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.charFormat().isImageFormat()) continue;
            QTextImageFormat image = frag.charFormat().toImageFormat();
            const QImage picture = doc.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
            if (picture.isNull() || picture.width() <= kMaxWidth) continue;
            image.setWidth(kMaxWidth);
            image.setHeight(picture.height() * kMaxWidth / picture.width());
            QTextCursor c(&doc);
            c.setPosition(frag.position());
            c.setPosition(frag.position() + frag.length(), QTextCursor::KeepAnchor);
            c.setCharFormat(image);
        }
    }
}

} // namespace

namespace {

// An A4 page in document units (1/96 inch), with 2 cm margins and room for the page number.
constexpr double kPageWidth = 210 / 25.4 * 96, kPageHeight = 297 / 25.4 * 96;
constexpr double kMargin = 20 / 25.4 * 96, kBottomMargin = 30 / 25.4 * 96;

int pageOf(double y) { return int(y / kPageHeight); }

void breakBefore(const QTextBlock &b)
{
    QTextCursor c(b);
    QTextBlockFormat f = b.blockFormat();
    f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    c.setBlockFormat(f);
}

// The top-level pieces of the document in order: blocks and tables, each with its extent.
struct Piece {
    QTextBlock block;          // valid for a paragraph or heading
    QTextFrame *frame = nullptr;
    QRectF rect;
    int heading() const { return block.isValid() ? block.blockFormat().headingLevel() : 0; }
    bool breaksBefore() const
    {
        const auto policy = block.isValid() ? block.blockFormat().pageBreakPolicy() : frame->frameFormat().pageBreakPolicy();
        return policy & QTextFormat::PageBreak_AlwaysBefore;
    }
};

// The extent of the ink, without the space kept below a paragraph or a table: that space may
// reach into the next page without putting anything there.
std::vector<Piece> pieces(QTextDocument &doc)
{
    std::vector<Piece> out;
    QAbstractTextDocumentLayout *layout = doc.documentLayout();
    for (auto it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (QTextFrame *f = it.currentFrame()) {
            out.push_back({QTextBlock(), f, layout->frameBoundingRect(f).adjusted(0, 0, 0, -f->frameFormat().bottomMargin())});
        } else if (const QTextBlock b = it.currentBlock(); b.isValid()) {
            out.push_back({b, nullptr, layout->blockBoundingRect(b).adjusted(0, 0, 0, -b.blockFormat().bottomMargin())});
        }
    }
    return out;
}

// A heading, or a line that ends in a colon ("例:", "注意:"), introduces what follows: it is never
// the last thing on a page.
bool keepsWithNext(const Piece &p)
{
    if (p.heading() > 1) return true;
    if (!p.block.isValid() || p.heading() == 1) return false;
    const QString text = p.block.text().trimmed();
    return text.endsWith(QLatin1Char(':')) || text.endsWith(QChar(0xFF1A));
}

std::pair<double, double> rowExtent(QTextDocument &doc, QTextTable &table, int row);

// Where a piece's first text lies: a table's frame may begin a page before its rows, and its
// header row says nothing without the first row under it.
double contentTop(QTextDocument &doc, const Piece &p)
{
    if (auto *table = qobject_cast<QTextTable *>(p.frame)) return rowExtent(doc, *table, std::min(1, table->rows() - 1)).first;
    return p.rect.top();
}

// Whether piece i introduces the next one but the next one's text starts on a later page.
bool keptApart(QTextDocument &doc, const std::vector<Piece> &all, size_t i)
{
    return keepsWithNext(all[i]) && i + 1 < all.size() &&
           pageOf(contentTop(doc, all[i + 1])) > pageOf(all[i].rect.bottom() - 1);
}

void setBreak(const Piece &p)
{
    if (p.block.isValid()) return breakBefore(p.block);
    QTextFrameFormat f = p.frame->frameFormat();
    f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    p.frame->setFrameFormat(f);
}

// Where a table row's text lies: from the top of its first lines to the foot of its last.
std::pair<double, double> rowExtent(QTextDocument &doc, QTextTable &table, int row)
{
    QAbstractTextDocumentLayout *layout = doc.documentLayout();
    double top = 1e300, bottom = -1e300;
    for (int c = 0; c < table.columns(); ++c) {
        const QTextTableCell cell = table.cellAt(row, c);
        for (QTextBlock b = doc.findBlock(cell.firstPosition()); b.isValid() && b.position() <= cell.lastPosition(); b = b.next()) {
            const QRectF r = layout->blockBoundingRect(b).adjusted(0, 0, 0, -b.blockFormat().bottomMargin());
            top = std::min(top, r.top());
            bottom = std::max(bottom, r.bottom());
        }
    }
    return {top, bottom};
}

// The first row (after the header) that starts on one page and ends on the next, or 0.
int firstSplitRow(QTextDocument &doc, QTextTable &table)
{
    for (int r = 1; r < table.rows(); ++r)
        if (const auto [top, bottom] = rowExtent(doc, table, r); pageOf(top) != pageOf(bottom - 1)) return r;
    return 0;
}

// A table longer than a page is cut before its first row that would run onto the next page; the
// rest becomes a table of its own, under the same header row, starting on that page.
void splitTableAt(QTextDocument &doc, QTextTable &table, int row)
{
    const int rows = table.rows(), cols = table.columns();
    QTextTableFormat format = table.format();
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCursor at(&doc);
    at.setPosition(table.lastPosition() + 1);
    QTextTable *rest = at.insertTable(1 + rows - row, cols, format);
    auto copyRow = [&](int from, int to) {
        for (int c = 0; c < cols; ++c) {
            const QTextTableCell source = table.cellAt(from, c);
            QTextCursor text = source.firstCursorPosition();
            text.setPosition(source.lastCursorPosition().position(), QTextCursor::KeepAnchor);
            QTextTableCell target = rest->cellAt(to, c);
            target.setFormat(source.format());
            target.firstCursorPosition().insertFragment(text.selection());
        }
    };
    copyRow(0, 0);
    for (int r = row; r < rows; ++r) copyRow(r, 1 + r - row);
    table.removeRows(row, rows - row);
}

// One change that makes the pages read better, or false when there is none left: a table that
// fits on a page is not split; a heading is not left at the foot of a page; a chapter does not
// end with a page holding a line or two.
bool improvePages(QTextDocument &doc)
{
    const std::vector<Piece> all = pieces(doc);
    const double usable = kPageHeight - kMargin - kBottomMargin;
    const double thin = 3 * QFontMetricsF(doc.defaultFont()).lineSpacing();
    for (size_t i = 0; i < all.size(); ++i) {
        const Piece &p = all[i];
        const bool split = pageOf(p.rect.top()) != pageOf(p.rect.bottom() - 1);
        if (auto *table = qobject_cast<QTextTable *>(p.frame); table && split && p.rect.height() >= usable)
            if (const int row = firstSplitRow(doc, *table); row > 0) {
                splitTableAt(doc, *table, row);
                return true;
            }
        if (p.frame && split && p.rect.height() < usable && !p.breaksBefore()) {
            // A heading or line that introduces the table goes with it.
            const size_t at = i > 0 && all[i - 1].heading() > 1 && !all[i - 1].breaksBefore() ? i - 1 : i;
            setBreak(all[at]);
            return true;
        }
        if (keptApart(doc, all, i)) {
            // The run of introducing pieces before it ("## 6.5" then "例:") goes along too.
            size_t start = i;
            while (start > 0 && !all[start].breaksBefore() && keepsWithNext(all[start - 1]) &&
                   pageOf(all[start - 1].rect.top()) == pageOf(all[start].rect.top()))
                --start;
            if (!all[start].breaksBefore()) {
                setBreak(all[start]);
                return true;
            }
        }
        // The last piece of a chapter (or of the manual) alone at the top of a page: take the
        // piece before it along, so the page holds more than a line or two.
        const bool chapterEnds = i + 1 == all.size() || all[i + 1].heading() == 1;
        if (!chapterEnds || i == 0) continue;
        const int page = pageOf(p.rect.bottom() - 1);
        if (pageOf(all[i - 1].rect.top()) == page || all[i - 1].breaksBefore() || all[i - 1].heading() == 1) continue;
        double onPage = p.rect.bottom() - (page * kPageHeight + kMargin);
        if (onPage >= thin) continue;
        size_t move = i - 1;
        if (move > 0 && all[move - 1].heading() > 1 && !all[move - 1].breaksBefore() &&
            pageOf(all[move - 1].rect.top()) == pageOf(all[move].rect.top()))
            --move;
        setBreak(all[move]);
        return true;
    }
    return false;
}

// As QTextDocument::print draws a page, with the page number centred below the text.
void printPage(int index, int number, QPainter &painter, QTextDocument &doc)
{
    painter.save();
    painter.translate(0, -index * kPageHeight);
    const QRectF view(0, index * kPageHeight, kPageWidth, kPageHeight);
    QAbstractTextDocumentLayout::PaintContext ctx;
    painter.setClipRect(view);
    ctx.clip = view;
    ctx.palette.setColor(QPalette::Text, Qt::black);
    doc.documentLayout()->draw(&painter, ctx);
    painter.setClipping(false);
    painter.setFont(doc.defaultFont());
    painter.drawText(QRectF(0, view.bottom() - kBottomMargin + kMargin / 3, kPageWidth, kMargin), Qt::AlignHCenter | Qt::AlignTop,
                     QString::number(number));
    painter.restore();
}

} // namespace

std::expected<void, QString> manualDocument(const QString &sourceDir, QTextDocument &doc)
{
    auto source = readManualSource(sourceDir);
    if (!source) return std::unexpected(source.error());
    QFont font(QStringLiteral("IPAPGothic"));
    font.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(10.5);
    doc.setDefaultFont(font);
    // Pictures named in the text are found beside the chapters.
    doc.setMetaInformation(QTextDocument::DocumentUrl, QUrl::fromLocalFile(QDir(sourceDir).absolutePath() + QLatin1Char('/')).toString());
    doc.setMarkdown(*source);
    fitPictures(doc);
    // Each chapter starts on a new page.
    bool first = true;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() != 1) continue;
        if (!first) breakBefore(b);
        first = false;
    }
    doc.setMetaInformation(QTextDocument::DocumentTitle, QString::fromUtf16(kManualTitle));
    doc.setPageSize(QSizeF(kPageWidth, kPageHeight));
    QTextFrameFormat root = doc.rootFrame()->frameFormat();
    root.setLeftMargin(kMargin);
    root.setRightMargin(kMargin);
    root.setTopMargin(kMargin);
    root.setBottomMargin(kBottomMargin);
    doc.rootFrame()->setFrameFormat(root);
    // Each change moves something to a later page, so this ends; the bound is a guard.
    for (int round = 0; round < 500 && improvePages(doc); ++round) {
    }
    return {};
}

namespace {

// Every page of the layout, blank ones included (the space below the last piece of a page can
// make the layout count one more).
std::vector<ManualPage> layoutPages(QTextDocument &doc)
{
    std::vector<ManualPage> pages(size_t(std::max(doc.pageCount(), 1)));
    const double usable = kPageHeight - kMargin - kBottomMargin;
    const std::vector<Piece> all = pieces(doc);
    std::vector<int> held(pages.size()), introducing(pages.size());
    for (size_t i = 0; i < all.size(); ++i) {
        const Piece &p = all[i];
        const int first = pageOf(p.rect.top()), last = pageOf(p.rect.bottom() - 1);
        for (int k = first; k <= last && k < int(pages.size()); ++k) {
            ManualPage &mp = pages[size_t(k)];
            mp.index = k;
            const double bottom = std::min(p.rect.bottom(), (k + 1) * kPageHeight);
            mp.textHeight = std::max(mp.textHeight, bottom - (k * kPageHeight + kMargin));
            if (p.frame && first != last && p.rect.height() < usable) ++mp.splitTables;
            if (p.heading() == 1 && k == first) mp.chapterStart = true;
            ++held[size_t(k)];
            if (keepsWithNext(p)) ++introducing[size_t(k)];
        }
        if (keptApart(doc, all, i) && last < int(pages.size())) ++pages[size_t(last)].keptApart;
        if (auto *table = qobject_cast<QTextTable *>(p.frame))
            for (int r = 0; r < table->rows(); ++r)
                if (const auto [top, bottom] = rowExtent(doc, *table, r); pageOf(top) != pageOf(bottom - 1) && pageOf(top) < int(pages.size()))
                    ++pages[size_t(pageOf(top))].splitRows;
    }
    for (size_t k = 0; k < pages.size(); ++k) pages[k].onlyIntroductions = held[k] > 0 && held[k] == introducing[k];
    return pages;
}

} // namespace

std::vector<ManualPage> manualPages(QTextDocument &doc)
{
    std::vector<ManualPage> printed;
    for (const ManualPage &p : layoutPages(doc))
        if (p.textHeight > 0) printed.push_back(p);
    return printed;
}

std::expected<void, QString> writeManualPdf(const QString &sourceDir, const QString &pdfPath)
{
    QTextDocument doc;
    if (auto made = manualDocument(sourceDir, doc); !made) return std::unexpected(made.error());

    const QString part = pdfPath + QStringLiteral(".part");
    {
        QPdfWriter writer(part);
        writer.setTitle(QString::fromUtf16(kManualTitle));
        writer.setCreator(QStringLiteral("VELOR"));
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        QPainter painter(&writer);
        if (!painter.isActive()) return std::unexpected(QStringLiteral("cannot write ") + part);
        // The layout measured its text at the screen's resolution; the page is drawn at the PDF's.
        const QScreen *screen = QGuiApplication::primaryScreen();
        const double sourceDpi = screen ? screen->logicalDotsPerInchY() : 96.0;
        painter.scale(writer.logicalDpiX() / sourceDpi, writer.logicalDpiY() / sourceDpi);
        // Pages of the layout that hold nothing are left out; the numbers count printed pages.
        const std::vector<ManualPage> pages = manualPages(doc);
        for (size_t k = 0; k < pages.size(); ++k) {
            if (k > 0) writer.newPage();
            printPage(pages[k].index, int(k) + 1, painter, doc);
        }
    }
    QFile written(part);
    if (!written.open(QIODevice::ReadOnly)) return std::unexpected(QStringLiteral("cannot read back ") + part);
    const QByteArray bytes = written.readAll();
    written.close();
    if (!bytes.startsWith("%PDF-") || !bytes.trimmed().endsWith("%%EOF")) {
        QFile::remove(part);
        return std::unexpected(QStringLiteral("incomplete PDF written to ") + part);
    }
    QFile::remove(pdfPath);
    if (!QFile::rename(part, pdfPath)) return std::unexpected(QStringLiteral("cannot replace ") + pdfPath);
    return {};
}

} // namespace velor
