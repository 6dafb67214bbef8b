#pragma once
// The texts of the about box and of --version, from the build's own version number.
#include <QImage>
#include <QString>

namespace velor {

/// "1.0.0": major, minor and revision of this build.
QString programVersion();
/// Caption of the about box: "VELOR Pro  のﾊﾞｰｼﾞｮﾝ情報".
QString aboutCaption();
/// "ﾊﾞｰｼﾞｮﾝ " + major.minor.revision.
QString aboutVersionText();
/// The program title, two line ends and the notice line.
QString aboutTitleText();

/// The program's icon drawn at the given size: a candle chart on a dark tile.
QImage velorIcon(int size);

} // namespace velor
