#include "platform/networkmodule.h"
#include "platform/platform.h"

#include <QNetworkAccessManager>

namespace kelvo {

Platform qtPlatform()
{
    Platform p;
    p.messageBox = std::make_shared<QtMessageBox>();
    p.beep = std::make_shared<QtBeep>(); // MessageBeep, through Qt
    p.clock = std::make_shared<SystemClock>();
    p.fileDialog = std::make_shared<QtFileDialog>();
    p.trayIcon = desktopTrayIcon();
    p.sound = std::make_shared<WinSoundPlayer>();
    p.makeTimer = [](QObject* parent) { return makeQtTimer(parent); };
    // TLS through Schannel, which trusts the Windows certificate store.
    auto network = std::make_shared<QNetworkAccessManager>();
    p.makeTransfer = [network] { return makeQtTransfer(network.get()); };
    p.passwordStore = systemPasswordStore(); // the Credential Manager
    p.autostart = desktopAutostart();        // the Run key
    return p;
}

// Linked in, as everything else is here.
std::unique_ptr<InstanceChannel> instanceChannel()
{
    return makeLocalChannel();
}

} // namespace kelvo
