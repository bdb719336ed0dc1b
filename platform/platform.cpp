#include "platform/platform.h"

#include "platform/modules.h"
#include "platform/networkmodule.h"

namespace kelvo {

Platform qtPlatform()
{
    Platform p;
    p.messageBox = std::make_shared<QtMessageBox>();
    p.beep = std::make_shared<QtBeep>();
    p.clock = std::make_shared<SystemClock>();
    p.fileDialog = std::make_shared<QtFileDialog>();
    p.trayIcon = desktopTrayIcon();
    p.sound = std::make_shared<QtSoundPlayer>();
    p.makeTimer = [](QObject* parent) { return makeQtTimer(parent); };
    p.makeTransfer = moduleTransfers(moduleFolders());
    p.passwordStore = systemPasswordStore();
    p.autostart = desktopAutostart();
    return p;
}

} // namespace kelvo
