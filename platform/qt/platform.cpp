#include "platform/platform.h"

namespace kelvo {

Platform qtPlatform()
{
    Platform p;
    p.core.beep = desktopBeep();
    p.core.clock = systemClock();
    p.core.sound = desktopSoundPlayer();
    p.core.makeTimer = [](QObject* parent) { return makeQtTimer(parent); };
    p.core.makeTransfer = desktopTransfers();
    p.core.passwordStore = systemPasswordStore();
    p.core.autostart = desktopAutostart();
    p.messageBox = desktopMessageBox();
    p.fileDialog = desktopFileDialog();
    p.trayIcon = desktopTrayIcon();
    return p;
}

} // namespace kelvo
