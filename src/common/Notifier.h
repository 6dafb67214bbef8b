#pragma once
// Desktop notifications: the one way the program tells the user something without a box.
#include <QString>

namespace velor {

/// One desktop notification. `code` is the stock a click on it shows (0: none).
struct Notice {
    QString summary;
    QString body;
    int code = 0;
};

/// Hands notices to the desktop's notification service. The real one talks to the session bus;
/// tests record.
class Notifier {
public:
    virtual ~Notifier() = default;
    /// True when a notification service took the notice; false when none answered.
    virtual bool notify(const Notice &notice) = 0;
};

/// Where there is no desktop: nothing is ever taken, so every alert falls back.
class NoNotifier final : public Notifier {
public:
    bool notify(const Notice &) override { return false; }
};

} // namespace velor
