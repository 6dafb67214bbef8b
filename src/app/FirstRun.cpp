#include "app/FirstRun.h"

#include "common/TextFile.h"
#include "common/Utils.h"
#include "db/Sites.h"
#include "db/StockMaster.h"
#include "demo/DemoFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace velor {

namespace {

// An XDG variable must name an absolute path; anything else is ignored, as desktops do.
QString xdgFolder(const char *variable, const QString &fallbackUnderHome)
{
    const QString v = qEnvironmentVariable(variable);
    if (!v.isEmpty() && QDir::isAbsolutePath(v)) return QDir::cleanPath(v);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + fallbackUnderHome);
}

QString folderError(const QString &dir)
{
    return QStringLiteral("フォルダー：　") + dir + QStringLiteral(" を作成できません。");
}

// Addresses stay empty until the user fills them in: an empty value takes the built-in one.
QByteArray sitesTemplate()
{
    return sitesFileHeader() +
           "[sites]\r\n"
           "DataSiteUrl=\r\n"
           "NameListUrl=\r\n"
           "QuoteUrl=\r\n"
           "FuturesUrl=\r\n"
           "TargetPriceUrl=\r\n"
           "StockDetailUrl=\r\n"
           "BrokerQuoteUrl=\r\n"
           "AnalysisUrl=\r\n"
           "CompanyUrl=\r\n"
           "WorldIndexUrl=\r\n"
           "HomePageUrl=\r\n"
           "FetchTimeoutSeconds=10\r\n"
           "MaxConnections=4\r\n";
}

} // namespace

QString userProgramFolder() { return xdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) + QStringLiteral("/velor"); }

QString rememberedFolderFile()
{
    return xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/velor/program-folder");
}

QString rememberedProgramFolder()
{
    QFile f(rememberedFolderFile());
    if (!QFileInfo(f).isFile() || !f.open(QIODevice::ReadOnly)) return {};
    const QString dir = QString::fromUtf8(f.read(4096)).trimmed();
    return QDir::isAbsolutePath(dir) ? dir : QString();
}

std::expected<void, QString> rememberProgramFolder(const QString &dir)
{
    const QString file = rememberedFolderFile();
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) return std::unexpected(folderError(QFileInfo(file).absolutePath()));
    return saveBytes(file, QDir(dir).absolutePath().toUtf8() + '\n');
}

std::expected<void, QString> writeEmptyProgramFolder(const QString &dir)
{
    const QString program = withTrailingSeparator(QDir(dir).absolutePath());
    for (const QString &sub : {QStringLiteral("data/tmp"), QStringLiteral("VEDAT"), QStringLiteral("FUNASHI")})
        if (!QDir().mkpath(program + sub)) return std::unexpected(folderError(program + sub));
    // The master first and VELOR.ini last: a folder holding VELOR.ini is complete.
    if (!QFile::exists(program + QStringLiteral("data/meigara.dat")))
        if (auto r = writeMaster(program + QStringLiteral("data/meigara.dat"), MasterHeader{}, {}); !r) return r;
    for (const char *list : {"touroku.dat", "touroku2.dat", "touroku3.dat"})
        if (!QFile::exists(program + QLatin1String(list)))
            if (auto r = saveBytes(program + QLatin1String(list), QByteArray()); !r) return r;
    if (!QFile::exists(program + QStringLiteral("sites.ini")))
        if (auto r = saveBytes(program + QStringLiteral("sites.ini"), sitesTemplate()); !r) return r;
    return saveBytes(program + QStringLiteral("VELOR.ini"), demo::demoSettings(QStringLiteral("data")));
}

namespace {

std::expected<void, QString> writeAndMove(const QString &partial, const QString &target, int stocks,
                                          const QString &manualPath, const std::function<void(int, int)> &progress,
                                          const std::function<bool()> &stop)
{
    demo::MarketOptions mo;
    mo.stocks = stocks;
    mo.letterCodes = demo::defaultLetterCodes(stocks);
    mo.splits = stocks >= 20;
    if (auto r = demo::writeDemoFolder(partial, mo, progress, stop); !r) return r;
    if (stop && stop()) return std::unexpected(demo::stoppedText());
    if (!manualPath.isEmpty() && QFile::exists(manualPath) &&
        !QFile::copy(manualPath, partial + QStringLiteral("/VELORmanual.pdf")))
        return std::unexpected(QStringLiteral("マニュアル ") + partial + QStringLiteral("/VELORmanual.pdf を書けませんでした。"));
    // The demo's addresses name the folder it was written in: they must name the one it becomes.
    const QString sitesPath = partial + QStringLiteral("/sites.ini");
    auto sites = readBytes(sitesPath);
    if (!sites) return std::unexpected(sites.error());
    QByteArray moved = *sites;
    for (const bool encoded : {true, false}) {
        const QUrl from = QUrl::fromLocalFile(partial + QLatin1Char('/')), to = QUrl::fromLocalFile(target + QLatin1Char('/'));
        moved.replace(encoded ? from.toEncoded() : from.toString().toUtf8(), encoded ? to.toEncoded() : to.toString().toUtf8());
    }
    if (auto r = saveBytes(sitesPath, moved); !r) return r;
    QDir().rmdir(target);   // an empty folder of that name is replaced; anything else is kept
    if (!QDir().rename(partial, target))
        return std::unexpected(QStringLiteral("フォルダー：　") + partial + QStringLiteral(" を ") + target +
                               QStringLiteral(" に移せません。"));
    return {};
}

} // namespace

std::expected<void, QString> writeDemoProgramFolder(const QString &dir, int stocks, const QString &manualPath,
                                                    const std::function<void(int, int)> &progress,
                                                    const std::function<bool()> &stop)
{
    const QString target = QDir::cleanPath(QDir(dir).absolutePath());
    const QString partial = target + QStringLiteral(".partial");
    // What an interrupted first run left behind is ours to throw away.
    if (QFileInfo::exists(partial) && !QDir(partial).removeRecursively()) return std::unexpected(folderError(partial));
    auto r = writeAndMove(partial, target, stocks, manualPath, progress, stop);
    // A writing that stopped or failed leaves nothing that could be taken for a program folder.
    if (!r) QDir(partial).removeRecursively();
    return r;
}

QString installedManualPath(const QString &exeDir)
{
    const QString beside = exeDir + QStringLiteral("/VELORmanual.pdf");
    if (QFile::exists(beside)) return beside;
    return QDir::cleanPath(exeDir + QStringLiteral("/../share/doc/velor/VELORmanual.pdf"));
}

QString missingFolderText(const QString &missing)
{
    return QStringLiteral("前回使ったプログラムフォルダー ") + QDir::toNativeSeparators(missing) +
           QStringLiteral(" が見つかりません（VELOR.ini がありません）。フォルダーが移動・削除されたか、"
                          "そのフォルダーのあるドライブがつながっていません。");
}

QString noProgramFolderText(const QString &dir, const QString &missing)
{
    return (missing.isEmpty() ? QString() : missingFolderText(missing)) + QStringLiteral("プログラムフォルダーが指定されておらず、") + dir +
           QStringLiteral(" にも VELOR.ini がありません。--home DIR か環境変数 VELOR_HOME でプログラムフォルダーを指定するか、"
                          "velor demo DIR でデモ用のプログラムフォルダーを作って下さい（ウィンドウを開くと初回の設定ができます）。");
}

} // namespace velor
