#pragma once

#include <QString>

class QSoundEffect;

namespace kelvo {

// Plays a WAV file by name without blocking. A new start replaces a sound of
// this program that is still playing. play() reports whether the sound could
// be started.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual bool play(const QString& fileName) = 0;
};

class QtSoundPlayer final : public SoundPlayer {
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    bool play(const QString& fileName) override;

private:
    QSoundEffect* m_effect = nullptr;
};

} // namespace kelvo
