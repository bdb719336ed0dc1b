#pragma once

#include <QString>
#include <memory>

namespace kelvo {

// Plays a WAV file by name without blocking. A new start replaces a sound of
// this program that is still playing. play() reports whether the sound could
// be started.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual bool play(const QString& fileName) = 0;
    // The alarm sound installed with the program (it may be missing).
    virtual QString installedAlarmFile() const = 0;
};

// The desktop's sound player (one implementation per platform): on Linux
// through the kelvo-sound module, on Windows through winmm's PlaySound.
std::shared_ptr<SoundPlayer> desktopSoundPlayer();

} // namespace kelvo
