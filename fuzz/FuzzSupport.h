#pragma once
// What every fuzz target shares: quiet fakes of the seams and a scratch folder of its own.
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/Launcher.h"
#include "common/Net.h"
#include "common/Sound.h"
#include "db/LiveQuote.h"
#include "db/Services.h"
#include "db/Shell.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace velor::fuzz {

/// Answers every message with OK (counting errors) and file dialogs with `file`.
class QuietDialogs final : public Dialogs {
public:
    Answer message(const QString &, Icon icon, const QString &, Buttons) override
    {
        if (icon == Icon::Error) ++errors;
        ++shown;
        return Answer::Ok;
    }
    QString openFile(const QString &, const QString &, const QString &) override { return file; }
    QString saveFile(const QString &, const QString &, const QString &) override { return {}; }
    QString file;
    int errors = 0, shown = 0;
};

class NoNet final : public Net {
public:
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &) override
    {
        return std::unexpected(NetError{address, QStringLiteral("offline"), false, false});
    }
};

class NoLauncher final : public Launcher {
public:
    bool startCommand(const QString &) override { return false; }
    bool openUrl(const QString &, const QString &) override { return false; }
    bool openFolder(const QString &) override { return false; }
    bool openInEditor(const QString &) override { return false; }
};

/// A fresh set of seams; make one per input so that nothing piles up between runs.
struct Env {
    FixedClock clock{QDateTime(QDate(2024, 1, 10), QTime(15, 30))};
    NoNet net;
    NoLauncher launcher;
    SilentSound sound;
    QuietDialogs dialogs;
    TextShell shell;
    NoLiveQuote noQuote;
    Services services{clock, net, launcher, sound, dialogs, shell, &noQuote};
};

/// A folder for this process only (in memory where /dev/shm exists), ending in "/".
inline const QString &scratchDir()
{
    static const QString dir = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        QString d = base + QStringLiteral("/velor-fuzz-") + QString::number(::getpid()) + '/';
        QDir().mkpath(d);
        std::atexit([] { QDir(scratchDir()).removeRecursively(); });
        return d;
    }();
    return dir;
}

/// Writes bytes to a file; a failure here is the harness's, so it stops the run.
inline void putFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "fuzz harness: cannot write %s\n", qPrintable(path));
        std::abort();
    }
}

/// Every file under a folder (recursively) with its bytes, keyed by relative path.
inline QMap<QString, QByteArray> snapshot(const QString &folder, const QString &skipSub = {})
{
    QMap<QString, QByteArray> m;
    QDir root(folder);
    const auto walk = [&](auto &&self, const QString &rel) -> void {
        QDir d(folder + rel);
        for (const QString &n : d.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
            QFile f(d.filePath(n));
            m[rel + n] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
        }
        for (const QString &n : d.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
            if (rel + n != skipSub) self(self, rel + n + '/');
    };
    walk(walk, QString());
    return m;
}

/// Stops the run with a message when an expectation about the program fails.
#define VELOR_FUZZ_CHECK(cond)                                                                    \
    do {                                                                                          \
        if (!(cond)) {                                                                            \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);   \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

} // namespace velor::fuzz
