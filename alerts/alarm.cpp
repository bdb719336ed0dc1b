#include "alerts/alarmpacing.h"
#include "app/mainform.h"
#include "config/configfile.h"

#include <QPushButton>

namespace kelvo {
namespace {
const QString kAlarmFile = QStringLiteral("Alarm.wav");
} // namespace

void MainForm::AlarmStep()
{
    const alerts::AlarmTick tick =
        alerts::alarmTick(ButTestSound->text() == alerts::stopAlarmCaption(),
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
