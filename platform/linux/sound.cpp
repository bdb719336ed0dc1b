#include "platform/sound.h"

#include "platform/modules/soundbackend.h"

#include <QFileInfo>
#include <QUrl>

#ifndef KELVO_ALARM_SOUND_RELDIR
#error "KELVO_ALARM_SOUND_RELDIR must name the alarm sound's folder relative to the program's"
#endif

namespace kelvo {

// Where installing puts the alarm sound, relative to the program's folder.
// Kept as one string in the program, where the package test reads it.
extern const char kAlarmSoundRelativeDir[];
const char kAlarmSoundRelativeDir[] = KELVO_ALARM_SOUND_RELDIR;

namespace {

// Plays through the kelvo-sound module, loaded at the first sound. Until a
// module loads, every sound reports failure and the next one tries again.
class ModuleSoundPlayer final : public SoundPlayer {
public:
    bool play(const QString& fileName) override
    {
        const QFileInfo info(fileName);
        if (!info.isFile() || !info.isReadable())
            return false;
        if (!m_backend) {
            auto* module =
                modules::load<SoundModule>(modules::folders(), QStringLiteral("kelvo-sound"));
            if (!module)
                return false;
            m_backend = module->soundBackend();
        }
        return m_backend->play(QUrl::fromLocalFile(info.absoluteFilePath()));
    }

    QString installedAlarmFile() const override
    {
        return modules::besideProgram(QLatin1String(kAlarmSoundRelativeDir) +
                                      QStringLiteral("/Alarm.wav"));
    }

private:
    std::unique_ptr<SoundBackend> m_backend;
};

} // namespace

std::shared_ptr<SoundPlayer> desktopSoundPlayer()
{
    return std::make_shared<ModuleSoundPlayer>();
}

} // namespace kelvo
