#pragma once
// Unpacking the all-market file from its LZH archive (-lh0-, -lh5-, -lh6-, -lh7-; header
// levels 0-2) through libarchive. Only the one member the import reads is written, under the
// one name the import reads it from; nothing else in the program folder can be touched.
#include <QString>
#include <expected>

namespace velor {

class Dialogs;

/// A member larger than this is refused (a daily file is a few hundred kilobytes).
constexpr qint64 kMaxLzhMember = qint64(64) << 20;

struct LzhError {
    enum Kind { NotArchive, Failed } kind;
    QString detail;
};

/// Reads the archive and writes the first member whose file name (folder parts dropped, case
/// ignored) is `memberName` to `targetPath`, atomically: a damaged, truncated or oversized
/// member leaves no file behind. A different file already at `targetPath` is never replaced
/// (an identical one is kept as it is). Returns whether such a member was found.
std::expected<bool, LzhError> extractLzhMember(const QString &archivePath, const QString &memberName,
                                               const QString &targetPath);

/// ExtractLzh: 0 on success (also when the archive lacks the member: the caller then finds no
/// file), -1 on failure. A file that is not an archive gets the message
/// archive + " は正しい書庫ファイルではありません。" (error icon). Any other failure leaves its reason
/// in `reason` when given, for the caller's message.
int ExtractLzh(const QString &archivePath, const QString &memberName, const QString &targetPath, Dialogs &dialogs,
               QString *reason = nullptr);

} // namespace velor
