// A price file as the data check reads it: each of its line readings gives, bit for bit, the
// bars (or the error) of the program's own reader, and a section it passes over for the high/low
// and date tests holds only finite bars whose high and low lie around their open and close, with
// dates that are dates and older than the one above.
#include "FuzzSupport.h"
#include "db/DataCheck.h"
#include "db/PriceFile.h"

#include <QDate>
#include <bit>
#include <cmath>

using namespace velor;

namespace {

bool sameBits(const Bar &a, const Bar &b)
{
    return a.date == b.date && std::bit_cast<uint32_t>(a.open) == std::bit_cast<uint32_t>(b.open) &&
           std::bit_cast<uint32_t>(a.high) == std::bit_cast<uint32_t>(b.high) && std::bit_cast<uint32_t>(a.low) == std::bit_cast<uint32_t>(b.low) &&
           std::bit_cast<uint32_t>(a.close) == std::bit_cast<uint32_t>(b.close) &&
           std::bit_cast<uint64_t>(a.volume) == std::bit_cast<uint64_t>(b.volume);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzz::scratchDir() + QStringLiteral("1301.csv");
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    fuzz::putFile(path, bytes);
    const auto own = readPriceFile(path);
    for (const BarReading r : {BarReading::Plain, BarReading::Quick, BarReading::Wide, BarReading::Widest}) {
        if (!barReadingAvailable(r)) continue;
        const auto read = readCheckedBars(bytes, path, r);
        VELOR_FUZZ_CHECK(read.has_value() == own.has_value());
        if (!read) {
            VELOR_FUZZ_CHECK(read.error() == own.error());
            continue;
        }
        // As the check reads them: the same, but for the values of weekly and monthly bars older than the daily ones.
        const auto checked = readCheckedBars(bytes, path, r, false);
        VELOR_FUZZ_CHECK(checked.has_value() && checked->fit == read->fit);
        const int32_t oldest = (*own)[0].empty() ? 0 : (*own)[0].back().date;
        for (size_t s = 0; s < 3; ++s) {
            VELOR_FUZZ_CHECK(checked->sections[s].size() == (*own)[s].size());
            for (size_t k = 0; k < (*own)[s].size(); ++k)
                VELOR_FUZZ_CHECK(s > 0 && (*own)[s][k].date < oldest ? checked->sections[s][k].date == (*own)[s][k].date
                                                                     : sameBits(checked->sections[s][k], (*own)[s][k]));
        }
        for (size_t s = 0; s < 3; ++s) {
            VELOR_FUZZ_CHECK(read->sections[s].size() == (*own)[s].size());
            for (size_t k = 0; k < read->sections[s].size(); ++k) {
                const Bar &b = read->sections[s][k];
                VELOR_FUZZ_CHECK(sameBits(b, (*own)[s][k]));
                if (read->fit[s]) {
                    VELOR_FUZZ_CHECK(std::isfinite(b.open) && b.low >= 0 && b.high >= b.open && b.high >= b.close && b.low <= b.open &&
                                     b.low <= b.close && std::isfinite(b.high) && b.volume >= 0 && std::isfinite(b.volume));
                    const int y = b.date / 10000;
                    VELOR_FUZZ_CHECK(y >= 1900 && y <= 2200 && QDate(y, b.date / 100 % 100, b.date % 100).isValid());
                    VELOR_FUZZ_CHECK(k == 0 || b.date < read->sections[s][k - 1].date);
                }
            }
        }
    }
    return 0;
}
