#include "alerts/alarmpacing.h"

namespace kelvo::alerts {

QString stopAlarmCaption()
{
    return QStringLiteral("Stop Alarm");
}

QString testAlarmCaption()
{
    return QStringLiteral("Test Alarm");
}

AlarmTick alarmTick(bool alarmOn, bool soundFileExists, int counter)
{
    if (!alarmOn) {
        return {AlarmAction::None, counter};
    }
    if (!soundFileExists) {
        return {AlarmAction::Beep, counter};
    }
    if (counter >= kAlarmPeriodTicks || counter < 0) {
        counter = 0; // 23 after a full round; anything out of range likewise
    }
    const AlarmAction action = counter == 0 ? AlarmAction::PlaySound : AlarmAction::None;
    return {action, counter + 1};
}

} // namespace kelvo::alerts
