// meigara.dat: a damaged master is refused and leaves the tables as they were; a loaded one
// has valid codes (digits, or letters named by the tail) and an index that points back at them.
#include "FuzzSupport.h"
#include "db/State.h"
#include "db/StockMaster.h"

using namespace velor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzz::scratchDir() + QStringLiteral("meigara.dat");
    fuzz::putFile(path, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    (void)readMasterHeader(path);
    static State st;
    st.MasterPath = path;
    st.StockCount = 0;
    st.StockCode.assign(1, 0);
    std::fill(st.StockIndex.begin(), st.StockIndex.end(), int16_t(0));
    if (auto r = MEIGARAIN(st); !r) {
        VELOR_FUZZ_CHECK(st.StockCount == 0 && !r.error().isEmpty());
        return 0;
    }
    VELOR_FUZZ_CHECK(st.StockCount >= 0 && size_t(st.StockCount) + 1 == st.StockCode.size());
    for (int i = 1; i <= st.StockCount; ++i) {
        const int code = st.StockCode[size_t(i)];
        VELOR_FUZZ_CHECK(isStockCode(code));
        const int e = st.StockIndex[size_t(code)];
        VELOR_FUZZ_CHECK(e >= 1 && e <= st.StockCount && st.StockCode[size_t(e)] == code);
    }
    // Rewriting what was loaded gives a master that loads again.
    VELOR_FUZZ_CHECK(writeMaster(path, MasterHeader{}, masterEntries(st)).has_value());
    VELOR_FUZZ_CHECK(MEIGARAIN(st).has_value());
    return 0;
}
