#include "import/LzhExtract.h"

#include "common/Dialogs.h"
#include "common/TextFile.h"

#include <QFile>
#include <archive.h>
#include <archive_entry.h>
#include <memory>

namespace velor {

namespace {

struct ArchiveCloser {
    void operator()(archive *a) const { archive_read_free(a); }
};

QString baseName(const char *path)
{
    QString p = QString::fromLocal8Bit(path ? path : "");
    const qsizetype cut = std::max(p.lastIndexOf('/'), p.lastIndexOf('\\'));
    return cut >= 0 ? p.mid(cut + 1) : p;
}

QString errorOf(archive *a)
{
    const char *e = archive_error_string(a);
    return e ? QString::fromLocal8Bit(e) : QString();
}

// The reason shown for an archive the decoder stopped in, with the decoder's own words.
QString damaged(archive *a)
{
    const QString e = errorOf(a);
    return QStringLiteral("書庫が壊れています") + (e.isEmpty() ? QString() : QStringLiteral("（") + e + QStringLiteral("）")) +
           QStringLiteral("。");
}

// Reads the current entry's data (every member is decoded, so a damaged one fails the whole
// archive as the archiver's extract command would); false with a reason on any error.
bool readData(archive *a, QByteArray *keep, QString &why)
{
    char buf[65536];
    qint64 total = 0;
    for (;;) {
        const la_ssize_t n = archive_read_data(a, buf, sizeof buf);
        if (n == 0) return true;
        if (n < 0) {
            why = damaged(a);
            return false;
        }
        total += n;
        if (total > kMaxLzhMember) {
            why = QStringLiteral("書庫の中のファイルが大きすぎます。");
            return false;
        }
        if (keep) keep->append(buf, n);
    }
}

} // namespace

std::expected<bool, LzhError> extractLzhMember(const QString &archivePath, const QString &memberName,
                                               const QString &targetPath)
{
    std::unique_ptr<archive, ArchiveCloser> a(archive_read_new());
    archive_read_support_format_lha(a.get());
    if (archive_read_open_filename(a.get(), QFile::encodeName(archivePath).constData(), 65536) != ARCHIVE_OK)
        return std::unexpected(LzhError{LzhError::NotArchive, errorOf(a.get())});
    archive_entry *entry = nullptr;
    bool found = false;
    QByteArray member;
    for (bool first = true;; first = false) {
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF) break;
        if (r < ARCHIVE_WARN)
            return std::unexpected(first ? LzhError{LzhError::NotArchive, errorOf(a.get())}
                                         : LzhError{LzhError::Failed, damaged(a.get())});
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > kMaxLzhMember)
            return std::unexpected(LzhError{LzhError::Failed, QStringLiteral("書庫の中のファイルが大きすぎます。")});
        const bool wanted = !found && archive_entry_filetype(entry) == AE_IFREG &&
                            baseName(archive_entry_pathname(entry)).compare(memberName, Qt::CaseInsensitive) == 0;
        QString why;
        if (!readData(a.get(), wanted ? &member : nullptr, why)) return std::unexpected(LzhError{LzhError::Failed, why});
        found = found || wanted;
    }
    if (!found) return false;
    if (QFile::exists(targetPath)) {
        // Only a copy of this very member (left by an interrupted run) may stand there.
        QFile existing(targetPath);
        if (existing.open(QIODevice::ReadOnly) && existing.size() == member.size() && existing.readAll() == member)
            return true;
        return std::unexpected(LzhError{LzhError::Failed, QStringLiteral("別の内容のファイル：　") + targetPath +
                                                              QStringLiteral(" が既にあります。")});
    }
    if (auto r = saveBytes(targetPath, member); !r) return std::unexpected(LzhError{LzhError::Failed, r.error()});
    return true;
}

int ExtractLzh(const QString &archivePath, const QString &memberName, const QString &targetPath, Dialogs &dialogs,
               QString *reason)
{
    const auto r = extractLzhMember(archivePath, memberName, targetPath);
    if (r) return 0;
    if (r.error().kind == LzhError::NotArchive)
        dialogs.message(archivePath + QStringLiteral(" は正しい書庫ファイルではありません。"), Icon::Error);
    else if (reason)
        *reason = r.error().detail;
    return -1;
}

} // namespace velor
