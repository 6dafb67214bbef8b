// A price file as the import reads it (readPriceFile) and as the chart reads it (KDOPN, each
// period, several bar counts): never a read outside the tables, counts within them.
#include "FuzzSupport.h"
#include "db/Bars.h"
#include "db/PriceFile.h"
#include "db/State.h"

using namespace velor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString dir = fuzz::scratchDir();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    fuzz::putFile(dir + QStringLiteral("1301.csv"), bytes);

    if (auto p = readPriceFile(dir + QStringLiteral("1301.csv"))) {
        // What was read must survive a rewrite and read back the same.
        const QByteArray again = formatPriceFile(*p);
        fuzz::putFile(dir + QStringLiteral("again.csv"), again);
        auto q = readPriceFile(dir + QStringLiteral("again.csv"));
        VELOR_FUZZ_CHECK(q.has_value());
        for (size_t s = 0; s < 3; ++s) VELOR_FUZZ_CHECK((*q)[s].size() == (*p)[s].size());
    }

    static State st;   // big tables: made once, like the program's own
    st.DataDir = dir;
    st.CurCode = 1301;
    for (int period = 0; period <= 2; ++period) {
        for (int n : {1, 2, 300, 2000}) {
            fuzz::Env env;
            st.CurPeriod = int16_t(period);
            st.BarOffset = 0;
            KDOPN(st, env.services, n);
            VELOR_FUZZ_CHECK(st.BarCount >= 0);
        }
    }
    return 0;
}
