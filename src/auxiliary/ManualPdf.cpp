#include "auxiliary/ManualPdf.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

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

std::expected<void, QString> writeManualPdf(const QString &sourceDir, const QString &pdfPath)
{
    auto source = readManualSource(sourceDir);
    if (!source) return std::unexpected(source.error());

    QTextDocument doc;
    QFont font(QStringLiteral("IPAPGothic"));
    font.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(10.5);
    doc.setDefaultFont(font);
    // Pictures named in the text are found beside the chapters.
    doc.setMetaInformation(QTextDocument::DocumentUrl, QUrl::fromLocalFile(QDir(sourceDir).absolutePath() + QLatin1Char('/')).toString());
    doc.setMarkdown(*source);
    // Each chapter starts on a new page.
    bool first = true;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() != 1) continue;
        if (!first) {
            QTextCursor c(b);
            QTextBlockFormat f = b.blockFormat();
            f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            c.setBlockFormat(f);
        }
        first = false;
    }
    doc.setMetaInformation(QTextDocument::DocumentTitle, QString::fromUtf16(kManualTitle));

    const QString part = pdfPath + QStringLiteral(".part");
    {
        QPdfWriter writer(part);
        writer.setTitle(QString::fromUtf16(kManualTitle));
        writer.setCreator(QStringLiteral("VELOR"));
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        doc.print(&writer);
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
