#include "alerts/alarm.h"

#include "alerts/alarmpacing.h"
#include "platform/filesave.h"

namespace kelvo::alerts {
namespace {
const QString kAlarmFile = QStringLiteral("Alarm.wav");

// The start folder's own sound wins, then the one installed with the program;
// empty when there is neither, and the alarm beeps instead.
QString alarmFile(const SoundPlayer& sound)
{
    if (FileExists(kAlarmFile))
        return kAlarmFile;
    const QString installed = sound.installedAlarmFile();
    return FileExists(installed) ? installed : QString();
}
} // namespace

Alarm::Alarm(std::shared_ptr<SoundPlayer> sound, std::shared_ptr<Beep> beep, QObject* parent)
    : QObject(parent), m_sound(std::move(sound)), m_beep(std::move(beep))
{
}

void Alarm::setOn(bool on)
{
    if (on == m_on)
        return;
    m_on = on;
    emit switched(on);
}

void Alarm::step()
{
    const QString file = m_on ? alarmFile(*m_sound) : QString();
    const AlarmTick tick = alarmTick(m_on, !file.isEmpty(), m_counter);
    m_counter = tick.counter;
    switch (tick.action) {
    case AlarmAction::PlaySound:
        // A sound that cannot be played (no sound module, no audio output)
        // must not leave the alarm silent: the beep is the last resort.
        if (!playWav(file))
            m_beep->beep();
        break;
    case AlarmAction::Beep:
        m_beep->beep();
        break;
    case AlarmAction::None:
        break;
    }
}

bool Alarm::playWav(const QString& fileName)
{
    return m_sound->play(fileName);
}

} // namespace kelvo::alerts
