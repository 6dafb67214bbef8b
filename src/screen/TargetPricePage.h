#pragma once
// The analysts' target price on a stock page of the target-price site.
#include <QStringView>

namespace velor {

/// The target price read from a page: from character 25000 on, 15 characters after the start of
/// the first "md_target_box_price" (or from character 15 when the key is missing), the number
/// among the next 25 characters. 0 when the page is shorter or holds no number there.
double readTargetPrice(QStringView page);

} // namespace velor
