#pragma once
// The stock code. Codes of digits keep their value (1..9999, so 1301 is 1301 everywhere it is
// stored as a number); codes listed since 2024 may hold a letter in their 2nd and/or 4th place
// (130A, 9A7A) and get numbers from kLetterCodeBase up, which no stored 16-bit field can hold.
// This module alone knows the encoding: parse, text, exchange order and the size of a table
// indexed by code.
#include <QByteArray>
#include <QString>
#include <optional>
#include <string_view>

namespace velor {

/// The first number of a code with letters; every code below it is a code of digits.
constexpr int kLetterCodeBase = 10000;
/// One more than the largest code number: the size of a table indexed by code.
constexpr int kCodeSpace = kLetterCodeBase + 29 * 29 * 29 * 29;

/// The 19 letters the exchange uses in codes (never B, E, I, O, Q, V or Z).
inline constexpr std::string_view kCodeLetters = "ACDFGHJKLMNPRSTUWXY";

/// True for a code of digits 1..9999 or a well-formed code with letters.
bool isStockCode(int code);
/// True for a code that holds a letter.
constexpr bool hasLetter(int code) { return code >= kLetterCodeBase; }

/// A stored code's text: "1301", "130A". Nothing for a number that is no code.
std::optional<int> codeFromText(std::string_view text);
std::optional<int> codeFromText(QStringView text);
/// A code typed by a user: blanks around it ignored, lower-case letters taken as upper-case.
std::optional<int> codeFromInput(const QString &text);

/// The code's text as the exchange writes it ("1301", "130A"; "5" for the number 5).
QString codeText(int code);
QByteArray codeBytes(int code);

/// The exchange's order: character by character, digits before letters (1301 < 130A < 1310).
/// Codes of digits keep their numeric order.
int codeOrderKey(int code);
inline bool codeLess(int a, int b) { return codeOrderKey(a) < codeOrderKey(b); }

} // namespace velor
