// LZH extraction through libarchive: a hostile archive is refused or gives the one member
// under the one name asked for, and nothing else appears in the folder.
#include "FuzzSupport.h"
#include "import/LzhExtract.h"

using namespace velor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString dir = fuzz::scratchDir() + QStringLiteral("lzh/");
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    const QString archive = dir + QStringLiteral("D240109.lzh");
    const QString target = dir + QStringLiteral("d240109.csv");
    fuzz::putFile(archive, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const auto r = extractLzhMember(archive, QStringLiteral("d240109.csv"), target);
    const QStringList left = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot);
    if (r && *r) {
        VELOR_FUZZ_CHECK(left.size() == 2 && QFile(target).size() <= kMaxLzhMember);
    } else {
        VELOR_FUZZ_CHECK(left == QStringList{QStringLiteral("D240109.lzh")});   // no half file behind
        if (!r) VELOR_FUZZ_CHECK(r.error().kind == LzhError::NotArchive || r.error().kind == LzhError::Failed);
    }
    return 0;
}
