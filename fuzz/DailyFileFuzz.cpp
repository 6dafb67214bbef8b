// The all-market daily file: any bytes are either refused with a message or give lines whose
// codes are valid, unique and whose numbers are finite.
#include "FuzzSupport.h"
#include "common/StockCode.h"
#include "import/DailyFile.h"

#include <cmath>
#include <set>

using namespace velor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    auto day = parseDailyFile(bytes, QStringLiteral("D240109.csv"));
    if (!day) {
        VELOR_FUZZ_CHECK(!day.error().text.isEmpty());
        return 0;
    }
    VELOR_FUZZ_CHECK(day->D >= 10101 && day->D <= 99991231);
    VELOR_FUZZ_CHECK(day->MS <= day->D);
    std::set<int> codes;
    for (const DailyLine &l : day->lines) {
        VELOR_FUZZ_CHECK(isStockCode(l.code));
        VELOR_FUZZ_CHECK(codes.insert(l.code).second);
        VELOR_FUZZ_CHECK(std::isfinite(l.o) && std::isfinite(l.h) && std::isfinite(l.l) && std::isfinite(l.c));
        VELOR_FUZZ_CHECK(std::isfinite(l.volume));
    }
    return 0;
}
