#pragma once

#include "platform/autostart.h"
#include "platform/beep.h"
#include "platform/clock.h"
#include "platform/filedialog.h"
#include "platform/httptransfer.h"
#include "platform/messagebox.h"
#include "platform/passwordstore.h"
#include "platform/sound.h"
#include "platform/timer.h"
#include "platform/trayicon.h"

#include <functional>
#include <memory>

class QObject;

namespace kelvo {

// Everything the window needs from the desktop and the network, bundled so
// that tests can hand the window doubles instead.
struct Platform {
    std::shared_ptr<MessageBox> messageBox;
    std::shared_ptr<Beep> beep;
    std::shared_ptr<Clock> clock;
    std::shared_ptr<FileDialog> fileDialog;
    std::shared_ptr<TrayIcon> trayIcon;
    std::shared_ptr<SoundPlayer> sound;
    std::function<std::unique_ptr<PeriodicTimer>(QObject* parent)> makeTimer;
    std::function<std::unique_ptr<HttpTransfer>()> makeTransfer;
    std::shared_ptr<PasswordStore> passwordStore;
    std::shared_ptr<Autostart> autostart;
};

// The real desktop and network.
Platform qtPlatform();

} // namespace kelvo
