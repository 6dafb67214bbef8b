// A year of the whole market into an empty database: from the offline twin of the data API
// through its monthly bulk files (the first fill), against importing the same days from the
// demo's daily files (1001 without volume, 1002 left out, as the API serves them), in groups of
// the same size. Rounds alternate the two; the ratio of the medians is what matters (the target
// is at most 1.5).
// usage: bench_jquants [ROUNDS] [STOCKS] [DAYS]
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
#include "demo/JQuantsTwin.h"
#include "import/DailyImport.h"
#include "import/JQuantsClient.h"
#include "import/JQuantsDownload.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
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
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    demo::MarketOptions mo;
    mo.stocks = argc > 2 ? std::max(20, std::atoi(argv[2])) : 4000;
    mo.letterCodes = demo::defaultLetterCodes(mo.stocks);
    mo.splits = true;
    const int wanted = argc > 3 ? std::max(25, std::atoi(argv[3])) : 245;
    const demo::MarketGenerator gen(mo);
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
    FixedClock clock{QDateTime(cal.back(), QTime(20, 0))};
    demo::JQuantsTwin twin(mo, clock, {QStringLiteral("bench-key"), 1000, 0});
    if (!twin.listen(0)) return std::fprintf(stderr, "cannot listen\n"), 1;
    QtNet net;
    SystemLauncher launcher;
    SilentSound sound;
    ConsoleDialogs dialogs(true);
    NoLiveQuote noQuote;
    std::vector<double> fileMs, apiMs;
    QElapsedTimer t;
    // The twin makes its market once, before the first timed fill.
    (void)twin.respond("GET", "/v2/markets/calendar?from=20260101&to=20260102", {{"x-api-key", "bench-key"}});
    for (int r = 0; r < rounds; ++r) {
        {
            Folder f(twin.baseAddress());
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
            Folder f(twin.baseAddress());
            TextShell shell;
            Services sv{clock, net, launcher, sound, dialogs, shell, &noQuote};
            NoPause pause;
            t.start();
            if (!downloadFromJQuants(f.st, sv, pause, "bench-key", since)) return std::fprintf(stderr, "the fill failed\n"), 1;
            apiMs.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        std::printf("round %d: daily files %.0f ms, twin's bulk files %.0f ms\n", r + 1, fileMs.back(), apiMs.back());
    }
    const double a = median(fileMs), b = median(apiMs);
    std::printf("bench_jquants: %d stocks, %zu days: daily files %.0f ms, API bulk fill %.0f ms, ratio %.2f (target <= 1.5)\n",
                mo.stocks, files.size(), a, b, b / a);
    return 0;
}
