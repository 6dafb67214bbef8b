#include "auxiliary/About.h"

#include <QPainter>

namespace velor {

QString programVersion()
{
    return QStringLiteral("%1.%2.%3").arg(VELOR_VERSION_MAJOR).arg(VELOR_VERSION_MINOR).arg(VELOR_VERSION_PATCH);
}

QString aboutCaption() { return QStringLiteral("VELOR Pro  のﾊﾞｰｼﾞｮﾝ情報"); }
QString aboutVersionText() { return QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + programVersion(); }

QString aboutTitleText()
{
    return QStringLiteral("VELOR Pro \r\n\r\n株価収集・表示・分析・監視ソフトウェア。表示される情報は投資判断の参考であり、"
                          "その正確さを保証するものではありません。");
}

QImage velorIcon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 64.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1d, 0x2b, 0x4f));
    p.drawRoundedRect(QRectF(2 * s, 2 * s, 60 * s, 60 * s), 10 * s, 10 * s);
    // Four candles climbing to the right: red for a rise, blue for a fall, as the chart draws them.
    struct Candle { double x, wickTop, wickBottom, top, bottom; bool up; };
    const Candle candles[] = {{14, 34, 54, 38, 50, false}, {26, 28, 48, 32, 44, true},
                              {38, 20, 42, 26, 36, false}, {50, 8, 32, 12, 28, true}};
    for (const Candle &c : candles) {
        const QColor colour = c.up ? QColor(0xff, 0x4d, 0x4d) : QColor(0x5c, 0xa8, 0xff);
        p.setPen(QPen(colour, 2 * s));
        p.drawLine(QPointF(c.x * s, c.wickTop * s), QPointF(c.x * s, c.wickBottom * s));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawRect(QRectF((c.x - 4) * s, c.top * s, 8 * s, (c.bottom - c.top) * s));
    }
    p.end();
    return img;
}

} // namespace velor
