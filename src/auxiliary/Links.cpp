#include "auxiliary/Links.h"

#include "common/Utils.h"
#include "db/Services.h"
#include "db/State.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <array>

namespace velor {

namespace {

// Entries past the end of a group are not links (the menus never send them).
template <size_t N>
const QString *entry(const std::array<QString, N> &urls, int index)
{
    return index >= 0 && size_t(index) < N ? &urls[size_t(index)] : nullptr;
}

} // namespace

QString manualPath(const State &st) { return pathIn(st.ProgramDir, QStringLiteral("VELORmanual.pdf")); }

bool openInBrowser(const State &st, Services &sv, const QString &address)
{
    if (sv.launcher.openUrl(st.BrowserPath, address)) return true;
    // Name what was to be opened too: the manual's path or the link's address from the settings.
    const QString target = QFileInfo(address).isAbsolute() ? QDir::toNativeSeparators(address) : address;
    sv.dialogs.message(launchFailedText(LaunchKind::Browser, st.BrowserPath) + QStringLiteral("\r\n開けなかったもの：　") + target,
                       Icon::Error);
    return false;
}

QString installedManualPath()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/velor/VELORmanual.pdf"));
}

void HHLP_Click(const State &st, Services &sv)
{
    QString path = manualPath(st);
    if (!FileExist(path) && FileExist(installedManualPath())) path = installedManualPath();
    if (!FileExist(path)) {
        sv.dialogs.message(QStringLiteral("マニュアル：　") + QDir::toNativeSeparators(path) + QStringLiteral(" がありません。"),
                           Icon::Warning);
        return;
    }
    openInBrowser(st, sv, path);
}

void F800_Click(const State &st, Services &sv, int index)
{
    if (const QString *u = entry(st.InfoUrl, index)) openInBrowser(st, sv, *u);
}

void F805_Click(const State &st, Services &sv, int index)
{
    if (const QString *u = entry(st.BrokerUrl, index)) openInBrowser(st, sv, *u);
}

void F806_Click(const State &st, Services &sv, int index)
{
    if (const QString *u = entry(st.FavoriteUrl, index)) openInBrowser(st, sv, *u);
}

void F888_Click(const State &st, Services &sv)
{
    const QString path = st.DataDir + QStringLiteral("tmp");
    if (const QString failed = showFolder(sv.launcher, path); !failed.isEmpty()) sv.dialogs.message(failed, Icon::Error);
}

void F00554_Click(const State &st, Services &sv)
{
    if (!FileExist(st.LogPath)) {
        sv.dialogs.message(QStringLiteral("ログ・ファイル：　") + QDir::toNativeSeparators(st.LogPath) +
                               QStringLiteral(" はまだありません。取り込みで新規銘柄の追加や部の変更があったときに作られます。"),
                           Icon::Information);
        return;
    }
    if (!sv.launcher.openInEditor(st.LogPath))
        sv.dialogs.message(launchFailedText(LaunchKind::Editor, QDir::toNativeSeparators(st.LogPath)), Icon::Error);
}

void cmdHP_Click(const State &st, Services &sv) { openInBrowser(st, sv, st.sites.HomePageUrl); }

} // namespace velor
