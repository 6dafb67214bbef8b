#include "auxiliary/SystemInfo.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <QtGlobal>

namespace velor {

namespace {

QString readSmallText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.read(1 << 20));
}

} // namespace

QString cpuFromCpuinfo(const QString &cpuinfo)
{
    QString model;
    int count = 0;
    for (const QString &line : cpuinfo.split('\n')) {
        const int colon = int(line.indexOf(':'));
        if (colon < 0) continue;
        const QString key = line.left(colon).trimmed();
        if (key == QLatin1String("processor")) ++count;
        else if (key == QLatin1String("model name") && model.isEmpty()) model = line.mid(colon + 1).simplified();
    }
    if (model.isEmpty()) return {};
    return count > 1 ? model + QStringLiteral(" × ") + QString::number(count) : model;
}

QString memoryFromMeminfo(const QString &meminfo)
{
    static const QRegularExpression total(QStringLiteral("^MemTotal:\\s*(\\d+)\\s*kB"), QRegularExpression::MultilineOption);
    const auto m = total.match(meminfo);
    if (!m.hasMatch()) return {};
    const double gb = m.captured(1).toDouble() / (1024.0 * 1024.0);
    return QString::number(gb, 'f', 1) + QStringLiteral(" GB");
}

SystemInfo readSystemInfo(const QString &procRoot, const QString &programDir, const QString &dataDir)
{
    SystemInfo info;
    info.os = QSysInfo::prettyProductName();
    info.kernel = (QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion()).trimmed();
    info.cpu = cpuFromCpuinfo(readSmallText(procRoot + QStringLiteral("/cpuinfo")));
    if (info.cpu.isEmpty()) info.cpu = QSysInfo::currentCpuArchitecture();
    info.memory = memoryFromMeminfo(readSmallText(procRoot + QStringLiteral("/meminfo")));
    info.qt = QString::fromLatin1(qVersion());
    info.programDir = QDir::toNativeSeparators(programDir);
    info.dataDir = QDir::toNativeSeparators(dataDir);
    return info;
}

bool systemInfoAvailable(const SystemInfo &info) { return !info.os.isEmpty() || !info.kernel.isEmpty(); }

QString systemInfoText(const SystemInfo &info)
{
    const std::pair<const char16_t *, const QString *> rows[] = {
        {u"OS", &info.os},         {u"カーネル", &info.kernel},           {u"CPU", &info.cpu},
        {u"メモリ", &info.memory}, {u"Qt", &info.qt},                    {u"プログラムフォルダ", &info.programDir},
        {u"株価データフォルダ", &info.dataDir}};
    QStringList lines;
    for (const auto &[label, value] : rows)
        if (!value->isEmpty()) lines << QString::fromUtf16(label) + QStringLiteral("：　") + *value;
    return lines.join(QLatin1Char('\n'));
}

} // namespace velor
