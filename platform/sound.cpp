#include "platform/sound.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace kelvo {

// The effect, and with it the audio back end, is made at the first sound: it
// costs start-up time and memory that a client which never sounds an alarm
// need not pay.
QtSoundPlayer::QtSoundPlayer() = default;

QtSoundPlayer::~QtSoundPlayer()
{
    delete m_effect;
}

bool QtSoundPlayer::play(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.isFile() || !info.isReadable())
        return false;
    const QUrl source = QUrl::fromLocalFile(info.absoluteFilePath());
    // One effect for the whole program: a new start stops the sound still
    // playing, and nothing piles up over weeks of alarms.
    if (!m_effect)
        m_effect = new QSoundEffect;
    m_effect->stop();
    if (m_effect->source() != source)
        m_effect->setSource(source);
    m_effect->play();
    return m_effect->status() != QSoundEffect::Error;
}

} // namespace kelvo
