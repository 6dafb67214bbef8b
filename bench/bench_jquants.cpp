// A year of the whole market into an empty database: from the offline twin of the data API
// through its monthly bulk files (the first fill), against importing the same days from the
// demo's daily files (1001 without volume, 1002 left out, as the API serves them), in groups of
// the same size. The twin runs as its own process (`velor demo serve DIR --jquants`), as a real
// server would: its own work is not the program's. Rounds alternate the two; the ratio of the
// medians is what matters (the target is at most 1.5).
// usage: bench_jquants ROUNDS DEMO_FOLDER VELOR [DAYS]
#include "Median.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/Launcher.h"
#include "common/Net.h"
#include "common/Sound.h"
#include "common/TextFile.h"
#include "db/Services.h"
#include "db/Settings.h"
#include "db/State.h"
#include "db/StockMaster.h"
#include "demo/DemoFolder.h"
#include "demo/DemoSite.h"
#include "demo/DemoParameters.h"
#include "import/DailyImport.h"
#include "import/JQuantsClient.h"
#include "import/JQuantsDownload.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QUrl>
#include <map>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

using namespace velor;

namespace {

// No pause is real here: the twin has no rate, and the time measured is the program's own.
class NoPause final : public jq::PaceTimer {
public:
    qint64 elapsedMs() override { return 0; }
    bool wait(qint64) override { return true; }
};

// The real transport, timing each request by its path (BENCH_ROUNDS=1 prints them).
class TimedNet final : public Net {
public:
    QtNet real;
    std::map<QString, std::pair<int, double>> byPath;
    std::expected<QByteArray, NetError> fetch(const QString &address, const FetchLimits &limits) override
    {
        QElapsedTimer t;
        t.start();
        auto r = real.fetch(address, limits);
        auto &slot = byPath[QUrl(address).path()];
        ++slot.first;
        slot.second += double(t.nsecsElapsed()) / 1e6;
        return r;
    }
};

// Answers yes and says nothing: the imports' messages are not what is timed.
class ScriptedYes final : public Dialogs {
public:
    Answer message(const QString &, Icon, const QString &, Buttons buttons) override
    {
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok;
    }
    QString openFile(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &, const QString &) override { return {}; }
};

// An empty program folder with its state loaded.
struct Folder {
    QTemporaryDir dir;
    State st;
    explicit Folder(const QString &base)
    {
        const QString program = dir.path() + '/';
        const QString data = program + QStringLiteral("data/");
        QDir().mkpath(data + QStringLiteral("tmp"));
        const QByteArray ini = demo::demoSettings(data);
        (void)saveBytes(program + QStringLiteral("VELOR.ini"), ini);
        (void)writeMaster(data + QStringLiteral("meigara.dat"), MasterHeader{}, {});
        st.ProgramDir = program;
        if (auto r = parseSettings(ini, program + QStringLiteral("VELOR.ini"), st); !r)
            std::fprintf(stderr, "settings: %s\n", qPrintable(r.error().text));
        st.DataDir = data;
        st.MasterPath = data + QStringLiteral("meigara.dat");
        st.LogPath = data + QStringLiteral("VELOR.log");
        st.sites.PriceSource = QStringLiteral("jquants");
        st.sites.JQuantsBaseUrl = base;
        st.sites.JQuantsPlan = QStringLiteral("premium");
        (void)MEIGARAIN(st);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4) return std::fprintf(stderr, "usage: bench_jquants ROUNDS DEMO_FOLDER VELOR [DAYS]\n"), 2;
    const int rounds = std::max(1, std::atoi(argv[1]));
    const QString demoDir = QString::fromLocal8Bit(argv[2]);
    const auto mo = demo::readDemoParameters(demoDir);
    if (!mo) return std::fprintf(stderr, "%s\n", qPrintable(mo.error())), 1;
    const int wanted = argc > 4 ? std::max(25, std::atoi(argv[4])) : 245;
    const demo::MarketGenerator gen(*mo);
    const auto &cal = gen.calendar();
    const int to = int(cal.size()), from = std::max(0, to - wanted);
    const int32_t since = demo::dateNumber(cal[size_t(from)]);
    std::vector<QByteArray> files = demo::dailyFiles(gen, from, to);
    for (QByteArray &f : files) {
        QByteArray kept;
        for (const QByteArray &line : f.split('\n')) {
            const QList<QByteArray> x = line.split(',');
            if (x.size() < 8 || x[1] == "1002") continue;
            kept += x[1] == "1001" ? x.mid(0, 7).join(',') + ",0\r\n" : line + '\n';
        }
        f = kept;
    }
    const QString now = cal.back().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 20:00");
    QProcess twin;
    twin.start(QString::fromLocal8Bit(argv[3]), {QStringLiteral("--now"), now, QStringLiteral("demo"), QStringLiteral("serve"), demoDir,
                                                QStringLiteral("--jquants"), QStringLiteral("--port"), QStringLiteral("47689"),
                                                QStringLiteral("--key"), QStringLiteral("bench-key")});
    if (!twin.waitForReadyRead(60000)) return std::fprintf(stderr, "the twin did not start\n"), 1;
    const QString base = QString::fromUtf8(twin.readAllStandardOutput()).trimmed();
    FixedClock clock{QDateTime(cal.back(), QTime(20, 0))};
    TimedNet net;
    SystemLauncher launcher;
    SilentSound sound;
    ScriptedYes dialogs;
    NoLiveQuote noQuote;
    // The twin makes its market and its list of monthly files once, before the first timed fill.
    {
        NoPause pause;
        jq::Client client(net, pause, base, "bench-key", jq::Plan::Premium, 600);
        (void)client.rows(QStringLiteral("/bulk/list"), {{QStringLiteral("endpoint"), QStringLiteral("/equities/bars/daily")}});
    }
    std::vector<double> fileMs, apiMs;
    QElapsedTimer t;
    for (int r = 0; r < rounds; ++r) {
        {
            Folder f(base);
            TextShell shell;
            Services sv{clock, net, launcher, sound, dialogs, shell, &noQuote};
            t.start();
            for (size_t k = 0; k < files.size(); ++k) {
                (void)saveBytes(f.st.DataDir + QStringLiteral("tmp/%1.csv").arg(demo::dateNumber(cal[size_t(from) + k])), files[k]);
                if ((k + 1) % kDaysPerImport == 0 || k + 1 == files.size()) SHUDOU(f.st, sv);
            }
            fileMs.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        {
            Folder f(base);
            TextShell shell;
            Services sv{clock, net, launcher, sound, dialogs, shell, &noQuote};
            NoPause pause;
            t.start();
            if (!downloadFromJQuants(f.st, sv, pause, "bench-key", since)) return std::fprintf(stderr, "the fill failed\n"), 1;
            apiMs.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        std::printf("round %d: daily files %.0f ms, twin's bulk files %.0f ms\n", r + 1, fileMs.back(), apiMs.back());
        std::fflush(stdout);
    }
    if (qEnvironmentVariableIntValue("BENCH_ROUNDS") == 1)
        for (const auto &[path, v] : net.byPath) std::printf("  %-60s %5d requests %8.0f ms\n", qPrintable(path.left(60)), v.first, v.second);
    twin.terminate();
    twin.waitForFinished(10000);
    const double a = median(fileMs), b = median(apiMs);
    std::printf("bench_jquants: %d stocks, %zu days: daily files %.0f ms, API bulk fill %.0f ms, ratio %.2f (target <= 1.5)\n",
                mo->stocks, files.size(), a, b, b / a);
    return 0;
}
