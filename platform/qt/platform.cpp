#include "platform/platform.h"

namespace kelvo {

Platform qtPlatform()
{
    Platform p;
    p.messageBox = desktopMessageBox();
    p.beep = desktopBeep();
    p.clock = systemClock();
    p.fileDialog = desktopFileDialog();
    p.trayIcon = desktopTrayIcon();
    p.sound = desktopSoundPlayer();
    p.makeTimer = [](QObject* parent) { return makeQtTimer(parent); };
    p.makeTransfer = desktopTransfers();
    p.passwordStore = systemPasswordStore();
    p.autostart = desktopAutostart();
    return p;
}

} // namespace kelvo
