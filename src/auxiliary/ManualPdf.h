#pragma once
// The user manual: its source is text (Markdown) kept with the program; the build writes it as
// one PDF.
#include <QString>
#include <expected>

namespace velor {

/// The PDF's document title.
inline const char16_t *kManualTitle = u"VELOR 使い方";

/// The manual's chapters: the .md files of `sourceDir` in name order, joined by blank lines.
std::expected<QString, QString> readManualSource(const QString &sourceDir);

/// Writes the manual of `sourceDir` to `pdfPath` (A4, page numbers, Japanese fonts). The file
/// is written beside its place and checked before it replaces an older one. Needs a
/// QGuiApplication for the fonts.
std::expected<void, QString> writeManualPdf(const QString &sourceDir, const QString &pdfPath);

} // namespace velor
