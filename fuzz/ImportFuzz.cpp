// A whole import on an inbox holding one mutated daily file (plain, or packed in a stored LZH
// archive when the first byte is odd). A run that ends on an error must leave the data folder
// and the program folder exactly as they were; a run that succeeds leaves price files that read.
#include "FuzzSupport.h"
#include "db/PriceFile.h"
#include "db/State.h"
#include "db/StockMaster.h"
#include "demo/DemoSite.h"
#include "import/DailyImport.h"

using namespace velor;

namespace {

const QByteArray &stockText()
{
    static const QByteArray t = [] {
        PriceSections s;
        s[0] = {{20240105, 1520, 1545, 1511, 1530, 118300}, {20240104, 1500, 1525, 1490, 1512, 98000},
                {20231229, 1490, 1510, 1482, 1500, 75600}};
        s[1] = {{20240105, 1500, 1545, 1490, 1530, 216300}, {20231229, 1490, 1510, 1482, 1500, 75600}};
        s[2] = s[1];
        return formatPriceFile(s);
    }();
    return t;
}

const QByteArray &masterBytes(const QString &path)
{
    static const QByteArray b = [&] {
        const std::vector<MasterEntry> e = {{1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("極洋"), 1},
                                            {1302, QStringLiteral("ABCDEFG"), 1}, {1303, QStringLiteral("XYZ"), 2}};
        if (!writeMaster(path, MasterHeader{}, e)) std::abort();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) std::abort();
        return f.readAll();
    }();
    return b;
}

// The program folder as every run starts from it.
void lay(State &st, const QString &program)
{
    QDir(program).removeRecursively();
    QDir().mkpath(program + QStringLiteral("data/tmp"));
    st = State{};
    st.ProgramDir = program;
    st.DataDir = program + QStringLiteral("data/");
    st.MasterPath = st.DataDir + QStringLiteral("meigara.dat");
    st.LogPath = st.DataDir + QStringLiteral("VELOR.log");
    fuzz::putFile(st.MasterPath, masterBytes(st.MasterPath));
    for (int code : {1001, 1301, 1302, 1303}) fuzz::putFile(st.priceFilePath(code), stockText());
    if (!MEIGARAIN(st)) std::abort();
    st.Starting = true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1) return 0;
    static State st;
    const QString program = fuzz::scratchDir() + QStringLiteral("import/");
    lay(st, program);
    const QByteArray body(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (data[0] & 1)
        fuzz::putFile(st.DataDir + QStringLiteral("tmp/D240109.lzh"), demo::storedLzh("D240109.csv", body, 0x58290000));
    else
        fuzz::putFile(st.DataDir + QStringLiteral("tmp/D240109.csv"), body);
    const auto before = fuzz::snapshot(program, QStringLiteral("data/tmp"));

    fuzz::Env env;
    const bool ok = SHUDOU(st, env.services);
    if (!ok) {
        VELOR_FUZZ_CHECK(env.dialogs.shown > 0);
        VELOR_FUZZ_CHECK(fuzz::snapshot(program, QStringLiteral("data/tmp")) == before);
        return 0;
    }
    VELOR_FUZZ_CHECK(!QFile::exists(st.DataDir + QStringLiteral("VELOR.jnl")));
    VELOR_FUZZ_CHECK(MEIGARAIN(st).has_value());
    for (int i = 1; i <= st.StockCount; ++i) {
        const QString path = st.priceFilePath(st.StockCode[size_t(i)]);
        auto p = readPriceFile(path);
        if (!p) std::fprintf(stderr, "%s\n", qPrintable(p.error()));
        VELOR_FUZZ_CHECK(p.has_value());
    }
    return 0;
}
