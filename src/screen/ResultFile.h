#pragma once
// 保存 of the ranking window: the list written out as a result file.
#include <QString>
#include <QStringList>
#include <expected>

namespace velor {

struct State;
struct Services;

/// The result file's bytes: every line in CP932 followed by CR LF, nothing added or removed.
QByteArray resultFileBytes(const QStringList &lines);
/// Writes a result file; the old file is replaced only once the new one is complete.
std::expected<void, QString> saveResultFile(const QString &path, const QStringList &lines);

enum class SaveOutcome { Saved, Cancelled, Failed };
/// cmdSAVE: makes VEDAT current, asks for the file, asks before replacing an existing file,
/// writes the lines. A missing VEDAT or a cancelled dialog ends without a message; a failed
/// write is reported.
SaveOutcome cmdSAVE_Click(State &st, Services &sv, const QStringList &lines);

} // namespace velor
