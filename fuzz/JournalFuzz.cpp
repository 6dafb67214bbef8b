// The import journal: a damaged one is refused with its message; one that reads is written
// back to the same bytes.
#include "FuzzSupport.h"
#include "import/ImportJournal.h"

using namespace velor;

namespace {

// A size field beyond any file (the known fault being mended elsewhere) is left out unless
// VELOR_FUZZ_KNOWN=1.
bool hasHugeSize(const QByteArray &b)
{
    for (const QByteArray &line : b.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq < 0) continue;
        const QByteArray key = line.left(eq);
        if (!key.endsWith("master") && !key.endsWith("data")) continue;
        bool ok = false;
        const qint64 n = line.mid(eq + 1).trimmed().toLongLong(&ok);
        if (ok && n > (qint64(1) << 40)) return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool known = qEnvironmentVariableIntValue("VELOR_FUZZ_KNOWN") == 1;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!known && hasHugeSize(bytes)) return -1;
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
