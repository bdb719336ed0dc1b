// The kelvo-sound module: plays WAV files with QSoundEffect.

#include "platform/soundbackend.h"

#include <QSoundEffect>

namespace {

class EffectBackend final : public kelvo::SoundBackend {
public:
    bool play(const QUrl& source) override
    {
        // One effect for the whole program: a new start stops the sound
        // still playing, and nothing piles up over weeks of alarms.
        m_effect.stop();
        if (m_effect.source() != source)
            m_effect.setSource(source);
        m_effect.play();
        return m_effect.status() != QSoundEffect::Error;
    }

private:
    QSoundEffect m_effect;
};

} // namespace

extern "C" Q_DECL_EXPORT kelvo::SoundBackend* kelvo_create_sound_backend()
{
    return new EffectBackend;
}
