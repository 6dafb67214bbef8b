#pragma once
// Small stateless helpers every subsystem uses.
#include <QString>
#include <cstdint>

namespace velor {

class Launcher;
class Sound;

/// The number formed by the characters "0"-"9", "." and "-" found, in order, among characters
/// 1..n of the first 40 characters of `text`; reading stops where the kept characters stop
/// forming a number; nothing kept gives 0. getNum("1,234.5円", 40) == 1234.5.
double getNum(QStringView text, int n);
/// A 16-bit integer as decimal text without a leading blank.
QString NumStr(int16_t n);
/// A 32-bit integer as decimal text without a leading blank.
QString LngStr(int32_t n);
/// The part of a path after the last separator ("\" or "/"); the whole text when there is none.
QString FileNameOf(const QString &path);
bool FileExist(const QString &path);
bool FolderExist(const QString &path);
/// Makes the folder the current directory; false when it does not exist.
bool ChDirTo(const QString &path);
/// The larger of two 16-bit integers.
int16_t Mmax(int16_t a, int16_t b);
/// Shows a folder in the file manager; false when that could not be started.
bool OpenFolder(Launcher &launcher, const QString &path);
/// When flag is non-zero and the file exists, plays it without waiting.
void PlayDone(Sound &sound, int flag, const QString &path);

/// A folder path that ends in exactly one separator ("/" or the "\" the user wrote).
QString withTrailingSeparator(const QString &folder);
/// folder + name, inserting a separator only when the folder has none at its end.
QString pathIn(const QString &folder, const QString &name);

/// True when the value fits a signed 16-bit integer.
constexpr bool fits16(long long v) { return v >= -32768 && v <= 32767; }

} // namespace velor
