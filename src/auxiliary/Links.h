#pragma once
// The commands that open things outside the program: the manual, the link menus of 情報, the
// import inbox and the import log. Each reports a failed start in one message form.
#include <QString>

namespace velor {

struct State;
struct Services;

/// The manual beside the program: program folder + "VELORmanual.pdf".
QString manualPath(const State &st);
/// The installed manual: ../share/doc/velor/VELORmanual.pdf from the executable's folder.
QString installedManualPath();

/// 使い方 (F1): opens the manual with the browser program: the one in the program folder, else
/// the installed one; a missing manual is reported.
void HHLP_Click(const State &st, Services &sv);
/// The 15 information links: opens InfoUrl(i) as it stands.
void F800_Click(const State &st, Services &sv, int index);
/// The four broker links: opens BrokerUrl(i).
void F805_Click(const State &st, Services &sv, int index);
/// The favourite links 0..4: opens FavoriteUrl(i); item 5 opens nothing.
void F806_Click(const State &st, Services &sv, int index);
/// tmpフォルダを開く (Ctrl+T): the import inbox DataDir + "tmp" in the file manager, also when
/// it does not exist (the failure is then reported).
void F888_Click(const State &st, Services &sv);
/// ログ・ファイルを開く (Ctrl+L): the import log in the text editor; a log not written yet is
/// reported instead.
void F00554_Click(const State &st, Services &sv);
/// The about box's HPへ button: the home page of sites.ini in the browser.
void cmdHP_Click(const State &st, Services &sv);

/// Opens an address with BrowserPath, reporting a failed start. False when it failed.
bool openInBrowser(const State &st, Services &sv, const QString &address);

} // namespace velor
