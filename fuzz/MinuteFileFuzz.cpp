// Minute files: reading and appending on any file content. An append keeps every record the
// file held, adds exactly the new one as the last, and leaves no part of a line behind; one it
// refuses changes nothing.
#include "FuzzSupport.h"
#include "realtime/MinuteBars.h"

using namespace velor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = fuzz::scratchDir() + QStringLiteral("FUNASHI/1301.csv");
    QDir().mkpath(fuzz::scratchDir() + QStringLiteral("FUNASHI"));
    fuzz::putFile(path, bytes);

    const std::vector<MinuteRecord> before = readMinuteRecords(path);
    VELOR_FUZZ_CHECK(readMinuteRecords(path, 1).size() == std::min<size_t>(before.size(), 1));
    const MinuteRecord added{12060908, 1232, 1253.5f, 1222, 1242, 2600000};
    // An unended last line that is no cut record of ours is kept: the append is refused and the
    // file stays byte for byte.
    if (!appendMinuteRecord(path, added).has_value()) {
        QFile kept(path);
        VELOR_FUZZ_CHECK(kept.open(QIODevice::ReadOnly) && kept.readAll() == bytes);
        return 0;
    }
    const std::vector<MinuteRecord> after = readMinuteRecords(path);
    VELOR_FUZZ_CHECK(after.size() == before.size() + 1);
    for (size_t i = 0; i < before.size(); ++i) {
        VELOR_FUZZ_CHECK(after[i].stamp == before[i].stamp);
        VELOR_FUZZ_CHECK(after[i].close == before[i].close || (after[i].close != after[i].close && before[i].close != before[i].close));
    }
    const MinuteRecord &last = after.back();
    VELOR_FUZZ_CHECK(last.stamp == added.stamp && last.open == added.open && last.high == added.high &&
                     last.low == added.low && last.close == added.close && last.volume == added.volume);
    QFile f(path);
    VELOR_FUZZ_CHECK(f.open(QIODevice::ReadOnly));
    VELOR_FUZZ_CHECK(f.readAll().endsWith(minuteRecordLine(added)));
    (void)minuteRecorded(after, 12060908);
    return 0;
}
