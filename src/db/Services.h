#pragma once
// The outside world as the logic sees it: seams for time, network, programs, sound, dialogs,
// and the main window's Shell. Built once by main() (or by a test) and passed by reference.
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/Keyring.h"
#include "common/Launcher.h"
#include "common/Net.h"
#include "common/Sound.h"
#include "db/LiveQuote.h"
#include "db/Shell.h"

namespace velor {

struct Services {
    Clock &clock;
    Net &net;
    Launcher &launcher;
    Sound &sound;
    Dialogs &dialogs;
    Shell &shell;
    LiveQuote *liveQuote = nullptr;   ///< set once the quote reader exists; null fetches nothing
    Keyring *keyring = nullptr;       ///< where the data API's key is kept; null: the environment and the key file only
};

} // namespace velor
