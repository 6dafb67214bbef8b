// The import journal: a damaged one is refused with its message; one that reads is written
// back to the same bytes.
#include "FuzzSupport.h"
#include "import/ImportJournal.h"

using namespace velor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = fuzz::scratchDir() + QStringLiteral("VELOR.jnl");
    fuzz::putFile(path, bytes);
    auto j = readJournal(path);
    if (!j) {
        VELOR_FUZZ_CHECK(j.error().contains(QStringLiteral("VELOR.jnl")));
        return 0;
    }
    VELOR_FUZZ_CHECK(j->has_value());
    const QString again = fuzz::scratchDir() + QStringLiteral("again.jnl");
    VELOR_FUZZ_CHECK(writeJournal(again, **j).has_value());
    auto k = readJournal(again);
    VELOR_FUZZ_CHECK(k && k->has_value());
    const ImportJournal &a = **j, &b = **k;
    VELOR_FUZZ_CHECK(a.day == b.day && a.logSize == b.logSize && a.calendar == b.calendar && a.master == b.master &&
                     a.data == b.data);
    return 0;
}
