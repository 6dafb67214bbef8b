#pragma once
// The user manual: its source is text (Markdown) kept with the program; the build writes it as
// one PDF.
#include <QString>
#include <expected>
#include <vector>

class QTextDocument;

namespace velor {

/// The PDF's document title.
inline const char16_t *kManualTitle = u"VELOR 使い方";

/// The manual's chapters: the .md files of `sourceDir` in name order, joined by blank lines.
std::expected<QString, QString> readManualSource(const QString &sourceDir);

/// Writes the manual of `sourceDir` to `pdfPath` (A4, page numbers, Japanese fonts). The file
/// is written beside its place and checked before it replaces an older one. Needs a
/// QGuiApplication for the fonts.
std::expected<void, QString> writeManualPdf(const QString &sourceDir, const QString &pdfPath);

/// The manual of `sourceDir` laid out in its A4 pages, as the PDF prints it: each chapter on a
/// new page, no table that fits on a page split across two, no heading or line ending in a colon
/// ("例:") parted from the text it introduces, no chapter ending with a page of a line or two.
std::expected<void, QString> manualDocument(const QString &sourceDir, QTextDocument &doc);

/// What each page of a laid-out manual holds (for checking the layout).
struct ManualPage {
    int index = 0;           ///< the page of the layout
    double textHeight = 0;   ///< from the top margin to the end of the last text on the page
    int splitTables = 0;     ///< tables shorter than a page that run on from this page or onto it
    int splitRows = 0;       ///< table rows that start on this page and end on the next
    bool chapterStart = false;
    /// Headings and lines ending in a colon whose following text starts on a later page.
    int keptApart = 0;
    /// The page holds nothing but headings and such lines.
    bool onlyIntroductions = false;
};
/// The pages that are printed, in order (a page of the layout without any text is left out).
std::vector<ManualPage> manualPages(QTextDocument &doc);

} // namespace velor
