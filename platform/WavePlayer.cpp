#include "platform/WavePlayer.h"

#include <QSoundEffect>
#include <QUrl>

QtWavePlayer::QtWavePlayer() = default;

QtWavePlayer::~QtWavePlayer()
{
    // QSoundEffect emits playingChanged from its destructor: nothing is
    // connected to it, so tearing it down here is safe.
    m_effect.reset();
}

void QtWavePlayer::setFileName(const QString &path)
{
    m_fileName = path;
}

void QtWavePlayer::play()
{
    if (m_fileName.isEmpty())
        return;
    if (!m_effect)
        m_effect = std::make_unique<QSoundEffect>();
    const QUrl url = QUrl::fromLocalFile(m_fileName);
    if (m_effect->source() != url)
        m_effect->setSource(url);
    m_effect->play();
}
