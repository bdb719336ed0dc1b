// The kelvo-sound module: plays WAV files with QSoundEffect.

#include "platform/modules/soundbackend.h"

#include <QSoundEffect>

namespace kelvo {
namespace {

class EffectBackend final : public SoundBackend {
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

class SoundPlugin final : public QObject, public SoundModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KELVO_SOUND_MODULE_IID)
    Q_INTERFACES(kelvo::SoundModule)

public:
    std::unique_ptr<SoundBackend> soundBackend() override
    {
        return std::make_unique<EffectBackend>();
    }
};

} // namespace kelvo

#include "soundmodule.moc"
