#pragma once
// VELOR.ini: 33 lines, read once at start-up, never written.
#include "common/Dialogs.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <expected>

namespace velor {

struct State;

/// A message of the start-up, with its icon and whether the program ends after it.
struct StartupMessage {
    QString text;
    Icon icon = Icon::None;
    bool fatal = true;
};

/// Splits one settings line into fields: commas separate, double quotes keep commas,
/// blanks around a field are dropped.
QStringList splitSettingsFields(const QString &line);

/// Reads the 33 lines of `bytes` (CP932) into `st`, with the checks of the start-up in reading
/// order. `displayPath` is the path named in messages.
std::expected<void, StartupMessage> parseSettings(const QByteArray &bytes, const QString &displayPath, State &st);

/// ReadSettings: the settings file, the data folder and the stock master file, each checked with
/// its message. Returns false when the program must end (the message has been shown).
bool ReadSettings(State &st, Dialogs &dialogs);

/// The browser: the first candidate that exists, otherwise the last one (not tested for existence).
QString defaultBrowserPath();

} // namespace velor
