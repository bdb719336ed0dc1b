#pragma once

// The sound back end lives in a module of its own, kelvo-sound, which the
// program loads at its first sound: Qt Multimedia and the audio libraries it
// brings cost start-up time and memory that a client which never sounds an
// alarm need not pay.

#include "platform/modules/modules.h"

#include <QUrl>
#include <memory>

namespace kelvo {

class SoundBackend {
public:
    virtual ~SoundBackend() = default;
    // Starts the sound of a local file, stopping one still playing; false
    // when it cannot be played.
    virtual bool play(const QUrl& source) = 0;
};

// What the module offers.
class SoundModule {
public:
    virtual ~SoundModule() = default;
    virtual std::unique_ptr<SoundBackend> soundBackend() = 0;
};

} // namespace kelvo

#define KELVO_SOUND_MODULE_IID "org.kelvorozevid.KelvoRozevid.SoundModule/" KELVO_MODULE_VERSION
Q_DECLARE_INTERFACE(kelvo::SoundModule, KELVO_SOUND_MODULE_IID)
