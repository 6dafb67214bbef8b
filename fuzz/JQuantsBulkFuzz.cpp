// A bulk file of the data API (gzip-compressed CSV) and the daily lines made from it: any bytes are
// refused with a message, or give lines the import reads back with the same count of stocks.
#include "FuzzSupport.h"
#include "import/DailyFile.h"
#include "import/JQuantsClient.h"
#include "import/JQuantsData.h"

using namespace velor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (bytes.startsWith("\x1f\x8b")) {
        auto csv = jq::gunzipBytes(bytes, qint64(1) << 20);
        if (!csv) {
            VELOR_FUZZ_CHECK(!csv.error().isEmpty());
            return 0;
        }
        VELOR_FUZZ_CHECK(csv->size() <= (qint64(1) << 20));
        bytes = *csv;
    }
    auto days = jq::bulkRows(bytes);
    if (!days) {
        VELOR_FUZZ_CHECK(!days.error().isEmpty());
        return 0;
    }
    int32_t previous = 0;
    for (const auto &[date, rows] : *days) {
        VELOR_FUZZ_CHECK(date > previous);
        previous = date;
        auto lines = jq::dayLines(date, rows, {}, jq::IndexBar{"1", "2", "0.5", "1.5"});
        if (!lines) {
            VELOR_FUZZ_CHECK(!lines.error().isEmpty());
            continue;
        }
        VELOR_FUZZ_CHECK(lines->stocks + lines->otherIssues + lines->noTrade == int(rows.size()));
        auto day = parseDailyFile(lines->file, QStringLiteral("JQ.csv"));
        if (!day) {
            VELOR_FUZZ_CHECK(!day.error().text.isEmpty());
            continue;
        }
        VELOR_FUZZ_CHECK(day->D == date);
        VELOR_FUZZ_CHECK(int(day->lines.size()) == lines->stocks + 1);
    }
    return 0;
}
