#include "alerts/alarmpacing.h"
#include "app/mainform.h"
#include "config/configfile.h"

#include <QPushButton>

namespace kelvo {
namespace {
const QString kStopAlarm = QStringLiteral("Stop Alarm");
const QString kTestAlarm = QStringLiteral("Test Alarm");
const QString kAlarmFile = QStringLiteral("Alarm.wav");
} // namespace

void MainForm::AlarmStep()
{
    const alerts::AlarmTick tick = alerts::alarmTick(ButTestSound->text() == kStopAlarm,
                                                     config::FileExists(kAlarmFile), TimerCounter);
    TimerCounter = tick.counter;
    switch (tick.action) {
    case alerts::AlarmAction::PlaySound:
        PlayWAV(kAlarmFile);
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
    if (ButTestSound->text() == kStopAlarm)
        ButTestSound->setText(kTestAlarm);
    else if (ButTestSound->text() == kTestAlarm)
        ButTestSound->setText(kStopAlarm);
}

bool MainForm::PlayWAV(const QString& FileName)
{
    return m_platform.sound->play(FileName);
}

} // namespace kelvo
