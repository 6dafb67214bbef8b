// Watch lists and result files: loading, adding, removing and sorting on any file content.
// The first byte chooses the operation; the rest is the file.
#include "FuzzSupport.h"
#include "db/State.h"
#include "db/StockMaster.h"
#include "lists/ListView.h"
#include "lists/WatchLists.h"
#include "lists/WorkingSet.h"

#include <algorithm>

using namespace velor;

namespace {

State &market()
{
    static State st = [] {
        State s;
        s.ProgramDir = fuzz::scratchDir();
        s.DataDir = s.ProgramDir + QStringLiteral("data/");
        QDir().mkpath(s.DataDir);
        QDir().mkpath(s.ProgramDir + QStringLiteral("VEDAT"));
        s.MasterPath = s.DataDir + QStringLiteral("meigara.dat");
        std::vector<MasterEntry> e = {{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1},
                                      {1332, QStringLiteral("日本水産"), 1}, {1400, QStringLiteral("ルーデン"), 5},
                                      {*codeFromText(std::string_view("9A7A")), QStringLiteral("新興"), 1},
                                      {9999, QStringLiteral("ABCDEFGHIJ"), 2}};
        if (!writeMaster(s.MasterPath, MasterHeader{}, e) || !MEIGARAIN(s)) std::abort();
        s.Starting = true;
        return s;
    }();
    return st;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1) return 0;
    State &st = market();
    fuzz::Env env;
    MemoryListView view;
    Lists c{st, env.services, view};
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString list = watchListPath(st, 1);
    const QString result = st.ProgramDir + QStringLiteral("VEDAT/result.txt");
    fuzz::putFile(list, bytes);
    fuzz::putFile(result, bytes);
    env.dialogs.file = result;
    st.LastCode = 0;

    switch (data[0] % 5) {
    case 0: PL222_Click(c, 1); break;
    case 1: PL222_Click(c, 4); break;
    case 2: addToWatchList(c, 1, 1332, true); break;
    case 3: removeFromWatchList(c, 1, 1301); break;
    case 4: {
        VELOR_FUZZ_CHECK(sortWatchList(c, 1));
        auto sorted = readListNumbers(list);
        VELOR_FUZZ_CHECK(sorted.has_value());
        // Codes in the exchange's order, then other numbers by value; the order compares singles,
        // so numbers equal as singles keep their file order.
        const auto key = [](long long v) {
            const int code = listCode(v);
            return code ? float(codeOrderKey(code)) : float(double(kCodeSpace) + double(v));
        };
        const auto bySingle = [&key](long long a, long long b) { return key(a) < key(b); };
        VELOR_FUZZ_CHECK(std::is_sorted(sorted->begin(), sorted->end(), bySingle));
        for (long long v : *sorted) VELOR_FUZZ_CHECK(v > 1000);
        break;
    }
    }
    VELOR_FUZZ_CHECK(st.WorkCount >= 0 && size_t(st.WorkCount) + 1 == st.WorkSet.size());
    for (int k = 1; k <= st.WorkCount; ++k)
        VELOR_FUZZ_CHECK(st.WorkSet[size_t(k)] == -999 || (st.WorkSet[size_t(k)] >= 1 && st.WorkSet[size_t(k)] <= st.StockCount));
    VELOR_FUZZ_CHECK(view.rowCount() >= 0);
    return 0;
}
