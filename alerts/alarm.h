#pragma once

#include "platform/beep.h"
#include "platform/sound.h"

#include <QObject>
#include <memory>

namespace kelvo::alerts {

// The repeating alarm that a change of positions starts: its sound at once
// and every 23 seconds while it is on, or a beep each second where there is
// no sound to play, until the user stops it.
class Alarm : public QObject {
    Q_OBJECT
public:
    Alarm(std::shared_ptr<SoundPlayer> sound, std::shared_ptr<Beep> beep,
          QObject* parent = nullptr);

    bool isOn() const { return m_on; }
    void setOn(bool on);
    void toggle() { setOn(!m_on); }
    // One second of the alarm (AlarmStep): its sound, a beep, or nothing.
    void step();

signals:
    // The alarm was switched on or off.
    void switched(bool on);

private:
    // Plays a sound file (PlayWAV); false when it cannot be played.
    bool playWav(const QString& fileName);

    std::shared_ptr<SoundPlayer> m_sound;
    std::shared_ptr<Beep> m_beep;
    bool m_on = false;
    int m_counter = 0; // TimerCounter
};

} // namespace kelvo::alerts
