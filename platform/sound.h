#pragma once

#include "platform/modules.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace kelvo {

class SoundBackend;

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

// On Linux: plays through the kelvo-sound module, loaded from the first of
// moduleFolders that holds it at the first sound. Until a module loads,
// every sound reports failure and the next one tries again.
class QtSoundPlayer final : public SoundPlayer {
public:
    // By default the modules are looked for beside the program (a build
    // folder), then where installing puts them.
    explicit QtSoundPlayer(QStringList moduleFolders = kelvo::moduleFolders());
    ~QtSoundPlayer() override;
    bool play(const QString& fileName) override;
    QString installedAlarmFile() const override;

private:
    bool loadBackend();

    QStringList m_moduleFolders;
    std::unique_ptr<SoundBackend> m_backend;
};

// Plays through winmm's PlaySound, asynchronously; the installed sound lies
// beside the program.
class WinSoundPlayer final : public SoundPlayer {
public:
    bool play(const QString& fileName) override;
    QString installedAlarmFile() const override;
};

} // namespace kelvo
