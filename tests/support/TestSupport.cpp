#include "support/TestSupport.h"

#include <bit>
#include <limits>
#include <tuple>

#include "common/Cp932.h"
#include "common/Quit.h"
#include "db/Settings.h"
#include "db/StockMaster.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <gtest/gtest.h>

namespace velor::test {

void forgetQuit()
{
    clearQuitRequest();
    if (!QCoreApplication::instance()) return;
    // exec() clears the loops' quit state when it starts and again when it returns.
    QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

namespace {

// A test that ends the program (終了, the close box) would leave every later test of the same
// program with event loops that return at once: each test starts as in a fresh program.
class QuitReset final : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo &) override
    {
        if (quitRequested()) forgetQuit();
    }
};

const bool g_quitResetInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new QuitReset);
    return true;
}();

} // namespace

QString fixturePath(const QString &relative)
{
    return QStringLiteral(VELOR_FIXTURES_DIR) + '/' + relative;
}

Answer ScriptedDialogs::message(const QString &text, Icon icon, const QString &caption, Buttons buttons)
{
    shown.push_back({text, icon, caption});
    if (!answers.empty()) {
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok;
}

QString ScriptedDialogs::openFile(const QString &, const QString &startDir, const QString &)
{
    fileDialogDirs << startDir;
    if (files.empty()) return {};
    QString f = files.front();
    files.pop_front();
    return f;
}

QString ScriptedDialogs::saveFile(const QString &, const QString &startPath, const QString &)
{
    fileDialogDirs << startPath;
    if (files.empty()) return {};
    QString f = files.front();
    files.pop_front();
    return f;
}

QStringList ScriptedDialogs::texts() const
{
    QStringList out;
    for (const auto &s : shown) out << s.text;
    return out;
}

std::expected<QByteArray, NetError> FakeNet::fetch(const QString &address, const FetchLimits &limits)
{
    requested << address;
    if (address.startsWith(QLatin1String("file:"))) return fetchLocalFile(address, limits);
    auto it = pages.find(address);
    if (it == pages.end()) return std::unexpected(NetError{address, QStringLiteral("見つかりません"), false, false});
    if (it->size() > limits.maxBytes) return std::unexpected(NetError{address, QStringLiteral("データが大きすぎます"), false, true});
    return *it;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

QByteArray validSettings(const QString &dataDir)
{
    QStringList lines = {
        dataDir,
        QStringLiteral("13,26,100"),
        QStringLiteral("0,0,20,0"),
        QStringLiteral("5,100000000,0"),
        QStringLiteral("100,50000,300000000"),
        QStringLiteral("1,0,100,50000,50000000,3"),
        QStringLiteral("1,\"RSI\",9,14"),
        QStringLiteral("1,\"サイコロ\",12,24"),
        QStringLiteral("1,\"RCI\",9,26"),
    };
    for (int i = 0; i < 15; ++i) lines << QStringLiteral("https://info.example/%1").arg(i);
    for (int i = 0; i < 4; ++i) lines << QStringLiteral("https://broker.example/%1").arg(i);
    for (int i = 0; i < 5; ++i) lines << QStringLiteral("https://favorite.example/%1").arg(i);
    QByteArray out;
    for (const auto &l : lines) out += toCp932(l) + "\r\n";
    return out;
}

ProgramFolder::ProgramFolder()
{
    program = dir.path() + '/';
    data = program + QStringLiteral("data/");
    QDir().mkpath(data + QStringLiteral("tmp"));
    writeFile(program + QStringLiteral("VELOR.ini"), validSettings(data));
    st.ProgramDir = program;
    st.DataDir = data;
    st.MasterPath = data + QStringLiteral("meigara.dat");
    st.LogPath = data + QStringLiteral("VELOR.log");
}

void ProgramFolder::writeMaster(const std::vector<std::tuple<int, QString, int>> &entries)
{
    std::vector<MasterEntry> list;
    for (const auto &[code, name, section] : entries) list.push_back({code, name, int16_t(section)});
    ASSERT_TRUE(velor::writeMaster(st.MasterPath, MasterHeader{}, list).has_value());
    ASSERT_TRUE(MEIGARAIN(st).has_value());
}

namespace {

auto barBits(const Bar &x)
{
    return std::tuple(x.date, std::bit_cast<uint32_t>(x.open), std::bit_cast<uint32_t>(x.high), std::bit_cast<uint32_t>(x.low),
                      std::bit_cast<uint32_t>(x.close), std::bit_cast<uint64_t>(x.volume));
}

// `datesOnlyBefore`: the date before which weekly and monthly bars need only have the same dates.
bool sameBarsFrom(const PriceSections &a, const PriceSections &b, int32_t datesOnlyBefore)
{
    for (size_t s = 0; s < 3; ++s) {
        if (a[s].size() != b[s].size()) return false;
        for (size_t k = 0; k < a[s].size(); ++k) {
            const bool datesOnly = s > 0 && b[s][k].date < datesOnlyBefore;
            if (datesOnly ? a[s][k].date != b[s][k].date : barBits(a[s][k]) != barBits(b[s][k])) return false;
        }
    }
    return true;
}

} // namespace

bool sameBars(const PriceSections &a, const PriceSections &b) { return sameBarsFrom(a, b, std::numeric_limits<int32_t>::min()); }

bool sameBarsAsChecked(const PriceSections &checked, const PriceSections &own)
{
    return sameBarsFrom(checked, own, own[0].empty() ? std::numeric_limits<int32_t>::min() : own[0].back().date);
}

} // namespace velor::test
