#pragma once
// What the about box's system-information button shows: the platform as the program sees it.
#include <QString>

namespace velor {

struct SystemInfo {
    QString os;          ///< product name and version
    QString kernel;      ///< kernel type and version
    QString cpu;         ///< model name and the number of logical processors
    QString memory;      ///< installed memory
    QString qt;          ///< the Qt version the program runs on
    QString programDir;
    QString dataDir;
};

/// Reads the platform: names from the system, the processor and the memory from `procRoot`
/// ("/proc" on Linux; fields stay empty where the files are missing).
SystemInfo readSystemInfo(const QString &procRoot, const QString &programDir, const QString &dataDir);

/// The processor line of a cpuinfo text: "model name × n"; empty when it names none.
QString cpuFromCpuinfo(const QString &cpuinfo);
/// The memory line of a meminfo text: MemTotal in GB with one decimal ("15.6 GB"); empty when missing.
QString memoryFromMeminfo(const QString &meminfo);

/// True when the platform told anything: the OS or the kernel is known.
bool systemInfoAvailable(const SystemInfo &info);
/// The lines shown, one "label：　value" a line; fields not known are left out.
QString systemInfoText(const SystemInfo &info);

/// The message when no system information can be had.
inline const char16_t *kSysInfoUnavailable = u"現時点ではｼｽﾃﾑ情報を使用できません";

} // namespace velor
