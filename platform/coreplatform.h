#pragma once

#include "platform/autostart.h"
#include "platform/beep.h"
#include "platform/clock.h"
#include "platform/httptransfer.h"
#include "platform/passwordstore.h"
#include "platform/sound.h"
#include "platform/timer.h"

#include <functional>
#include <memory>

class QObject;

namespace kelvo {

// What the session needs from the desktop and the network, none of it a
// widget, bundled so that tests can hand it doubles instead.
struct CorePlatform {
    std::shared_ptr<Beep> beep;
    std::shared_ptr<Clock> clock;
    std::shared_ptr<SoundPlayer> sound;
    std::function<std::unique_ptr<PeriodicTimer>(QObject* parent)> makeTimer;
    std::function<std::unique_ptr<HttpTransfer>()> makeTransfer;
    std::shared_ptr<PasswordStore> passwordStore;
    std::shared_ptr<Autostart> autostart;
};

} // namespace kelvo
