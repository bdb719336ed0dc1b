#pragma once

#include <QString>

// The pacing of the repeating alarm, one step per one-second tick, as a plain
// function of the alarm state and the pacing counter.
namespace kelvo::alerts {

enum class AlarmAction { None, PlaySound, Beep };

struct AlarmTick {
    AlarmAction action = AlarmAction::None;
    int counter = 0; // the pacing counter to keep for the next tick
};

// Ticks per repetition of the alarm sound.
inline constexpr int kAlarmPeriodTicks = 23;

// The alarm is on while its button offers to stop it, off while it offers a
// test: the caption is the alarm's state.
QString stopAlarmCaption();
QString testAlarmCaption();

// One tick of the alarm.
// - Alarm off: nothing; the counter keeps its value.
// - Alarm on and the sound file present: the counter runs 0..22 round and
//   round (a counter standing at 23, or outside 0..23, starts again at 0); the
//   sound starts on the tick at which it is 0, so once every 23 ticks.
// - Alarm on without the sound file: a beep at every tick; the counter keeps
//   its value.
// Switching the alarm off and on again does not reset the counter.
AlarmTick alarmTick(bool alarmOn, bool soundFileExists, int counter);

} // namespace kelvo::alerts
