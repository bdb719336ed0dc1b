#include "platform/platform.h"

#include "platform/modules/networkmodule.h"

namespace kelvo {

Platform qtPlatform()
{
    Platform p;
    p.messageBox = std::make_shared<QtMessageBox>();
    p.beep = std::make_shared<QtBeep>();
    p.clock = std::make_shared<SystemClock>();
    p.fileDialog = std::make_shared<QtFileDialog>();
    p.trayIcon = desktopTrayIcon();
    p.sound = desktopSoundPlayer();
    p.makeTimer = [](QObject* parent) { return makeQtTimer(parent); };
    p.makeTransfer = moduleTransfers(modules::folders());
    return p;
}

// From the network module, loaded for it.
std::unique_ptr<InstanceChannel> instanceChannel()
{
    auto* module =
        modules::load<NetworkModule>(modules::folders(), QStringLiteral("kelvo-network"));
    return module ? module->instanceChannel() : nullptr;
}

} // namespace kelvo
