#include "screen/TargetPricePage.h"

#include "common/Utils.h"

namespace velor {

double readTargetPrice(QStringView page)
{
    QStringView t = page.size() >= 25000 ? page.mid(24999) : QStringView();
    const qsizetype at = t.indexOf(u"md_target_box_price");
    const qsizetype from = at < 0 ? 14 : at + 15;
    t = from < t.size() ? t.mid(from) : QStringView();
    return getNum(t, 25);
}

} // namespace velor
