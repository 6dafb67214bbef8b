// VELOR.ini: any bytes either give settings or the start-up message; never a crash.
#include "FuzzSupport.h"
#include "db/Settings.h"
#include "db/State.h"

using namespace velor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static State st;
    st.ProgramDir = fuzz::scratchDir();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    auto r = parseSettings(bytes, QStringLiteral("VELOR.ini"), st);
    if (!r) {
        VELOR_FUZZ_CHECK(!r.error().text.isEmpty() && r.error().fatal);
        return 0;
    }
    VELOR_FUZZ_CHECK(!st.DataDir.isEmpty() && st.MaWidth1 < st.MaWidth2 && st.FilterMinPrice < st.FilterMaxPrice);
    return 0;
}
