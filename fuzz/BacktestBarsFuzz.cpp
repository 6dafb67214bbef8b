// A price file as the backtest reads it: every line read by its quick reader gives, bit for bit,
// what the bar loader's reader gives (or nothing where that gives nothing); the whole file never
// gives more bars than the tables hold, and a read that stops early gives the newest of them.
#include "FuzzSupport.h"
#include "backtest/DailyHistory.h"
#include "db/PriceFile.h"

#include <bit>
#include <cstring>

using namespace velor;

namespace {

bool sameBar(const std::optional<Bar> &a, const std::optional<Bar> &b)
{
    if (a.has_value() != b.has_value()) return false;
    if (!a) return true;
    return a->date == b->date && std::bit_cast<uint32_t>(a->open) == std::bit_cast<uint32_t>(b->open) &&
           std::bit_cast<uint32_t>(a->high) == std::bit_cast<uint32_t>(b->high) &&
           std::bit_cast<uint32_t>(a->low) == std::bit_cast<uint32_t>(b->low) &&
           std::bit_cast<uint32_t>(a->close) == std::bit_cast<uint32_t>(b->close) &&
           std::bit_cast<uint64_t>(a->volume) == std::bit_cast<uint64_t>(b->volume);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *begin = reinterpret_cast<const char *>(data), *end = begin + size;
    for (const char *p = begin; p <= end;) {
        const void *found = std::memchr(p, '\n', size_t(end - p));
        const char *nl = found ? static_cast<const char *>(found) : end;
        VELOR_FUZZ_CHECK(sameBar(readBarLine(p, nl), parseBarLine(p, nl)));
        p = nl + 1;
    }

    const QString path = fuzz::scratchDir() + QStringLiteral("1301.csv");
    fuzz::putFile(path, QByteArray(begin, qsizetype(size)));
    const auto all = readDailyBars(path);
    if (all) VELOR_FUZZ_CHECK(all->size() <= size_t(kBarTableSize - 2));
    const auto some = readDailyBars(path, 20200101, 3);
    if (all && some) {
        VELOR_FUZZ_CHECK(some->size() <= all->size());
        for (size_t i = 0; i < some->size(); ++i) VELOR_FUZZ_CHECK(sameBar((*some)[i], (*all)[i]));
    }
    return 0;
}
