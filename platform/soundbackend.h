#pragma once

// The sound back end lives in a module of its own, kelvo-sound, which the
// program loads at its first sound: Qt Multimedia and the audio libraries it
// brings cost start-up time and memory that a client which never sounds an
// alarm need not pay.

#include <QUrl>

namespace kelvo {

class SoundBackend {
public:
    virtual ~SoundBackend() = default;
    // Starts the sound of a local file, stopping one still playing; false
    // when it cannot be played.
    virtual bool play(const QUrl& source) = 0;
};

// The module's one entry point: a new back end, owned by the caller.
using CreateSoundBackend = SoundBackend* (*)();
inline constexpr char kCreateSoundBackendSymbol[] = "kelvo_create_sound_backend";

} // namespace kelvo
