#include "alerts/alarmpacing.h"
#include "app/mainform.h"
#include "config/configfile.h"
#include "platform/filesave.h"

#include <QPushButton>

namespace kelvo {
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

void MainForm::AlarmStep()
{
    const bool on = ButTestSound->text() == alerts::stopAlarmCaption();
    const QString file = on ? alarmFile(*m_platform.sound) : QString();
    const alerts::AlarmTick tick = alerts::alarmTick(on, !file.isEmpty(), TimerCounter);
    TimerCounter = tick.counter;
    switch (tick.action) {
    case alerts::AlarmAction::PlaySound:
        // A sound that cannot be played (no sound module, no audio output)
        // must not leave the alarm silent: the beep is the last resort.
        if (!PlayWAV(file))
            m_platform.beep->beep();
        break;
    case alerts::AlarmAction::Beep:
        m_platform.beep->beep();
        break;
    case alerts::AlarmAction::None:
        break;
    }
}

void MainForm::ButTestSound_Click()
{
    if (ButTestSound->text() == alerts::stopAlarmCaption())
        ButTestSound->setText(alerts::testAlarmCaption());
    else if (ButTestSound->text() == alerts::testAlarmCaption())
        ButTestSound->setText(alerts::stopAlarmCaption());
}

bool MainForm::PlayWAV(const QString& FileName)
{
    return m_platform.sound->play(FileName);
}

} // namespace kelvo
