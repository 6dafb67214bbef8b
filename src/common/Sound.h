#pragma once
#include <QString>

namespace velor {

/// Plays sounds without waiting. The real one lives with the windows; tests record.
class Sound {
public:
    virtual ~Sound() = default;
    virtual void playWave(const QString &path) = 0;
    virtual void beep() = 0;
};

/// For commands run without a window: no audio device is assumed.
class SilentSound final : public Sound {
public:
    void playWave(const QString &) override {}
    void beep() override {}
};

} // namespace velor
