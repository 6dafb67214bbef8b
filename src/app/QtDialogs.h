#pragma once
#include "common/Dialogs.h"
#include "common/Sound.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class QSoundEffect;

namespace velor {

/// Message boxes and file dialogs of the desktop, parented to the main window.
class QtDialogs final : public Dialogs {
public:
    void setParent(QWidget *parent) { m_parent = parent; }
    Answer message(const QString &text, Icon icon = Icon::None, const QString &caption = {},
                   Buttons buttons = Buttons::Ok) override;
    QString openFile(const QString &title, const QString &startDir, const QString &filter) override;
    QString saveFile(const QString &title, const QString &startPath, const QString &filter) override;
private:
    QPointer<QWidget> m_parent;
};

/// Wave files through Qt Multimedia; silently nothing without an audio device.
class QtSound final : public Sound {
public:
    QtSound();
    ~QtSound() override;
    void playWave(const QString &path) override;
    void beep() override;
private:
    std::unique_ptr<QSoundEffect> m_effect;
};

} // namespace velor
