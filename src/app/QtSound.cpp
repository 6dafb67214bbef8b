#include "app/QtDialogs.h"

#include <QApplication>
#include <QSoundEffect>
#include <QUrl>

namespace velor {

QtSound::QtSound() = default;
QtSound::~QtSound() = default;

void QtSound::playWave(const QString &path)
{
    if (!m_effect) m_effect = std::make_unique<QSoundEffect>();
    m_effect->setSource(QUrl::fromLocalFile(path));
    m_effect->play();
}

void QtSound::beep() { QApplication::beep(); }

} // namespace velor
