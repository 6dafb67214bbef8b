// The target-price page: any bytes give a finite price (0 when none is there). The first byte
// chooses whether the page stands behind the length of a real page's head, where the reader
// starts looking, or as it is (short pages).
#include "FuzzSupport.h"
#include "realtime/QuotePage.h"
#include "screen/TargetPricePage.h"

#include <cmath>

using namespace velor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1) return 0;
    QByteArray page(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (data[0] & 1) page.prepend(QByteArray(24999, ' '));
    const double v = readTargetPrice(decodeQuotePage(page));
    VELOR_FUZZ_CHECK(std::isfinite(v));
    return 0;
}
