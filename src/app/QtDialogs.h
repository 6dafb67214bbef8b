#pragma once
#include "common/Dialogs.h"
#include "common/Sound.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class QAbstractProxyModel;
class QObject;
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

/// The file dialog's columns in Japanese whatever the system's language: the type of a file from
/// its extension ("CSV ファイル", "フォルダー") and dates as 2026/12/07 18:05. Its source is the
/// dialog's QFileSystemModel.
QAbstractProxyModel *japaneseFileColumns(QObject *parent);

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
