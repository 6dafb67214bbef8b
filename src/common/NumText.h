#pragma once
// The one place where numbers become text: stored files, the chart, the listings.
#include <QByteArray>
#include <QString>

namespace velor {

/// Shortest decimal text that reads back to the same single-precision value ("1234.5", "810", "-0.25").
QString singleText(float v);
/// Shortest decimal text that reads back to the same double ("118300", "0.1", "1e+20" never: plain digits).
QString doubleText(double v);
/// The same texts as bytes, for the stored files (without going through a QString).
QByteArray singleBytes(float v);
QByteArray doubleBytes(double v);
/// The chart's print form: one blank before a non-negative number, one blank after every number,
/// no zero before the point of a magnitude below 1 (0.8 -> " .8 ", -0.25 -> "-.25 ").
/// Values print with at most 7 significant digits, as single-precision numbers do.
QString printForm(double v);
/// The same for an integer value (" 12 ", "-3 ").
QString printForm(long long v);
/// Classic custom number format: "#" optional digit, "0" required digit, "." always printed,
/// "," in the integer part groups thousands. formatPattern(10, "##0.##") == "10.",
/// formatPattern(0.5, "##########.###") == ".5". Literal text after the number is kept.
QString formatPattern(double v, const QString &pattern);

} // namespace velor
