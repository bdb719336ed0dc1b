#include "platform/platform.h"

#include <QNetworkAccessManager>

namespace kelvo {

Platform qtPlatform()
{
    Platform p;
    p.messageBox = std::make_shared<QtMessageBox>();
    p.beep = std::make_shared<QtBeep>();
    p.clock = std::make_shared<SystemClock>();
    p.fileDialog = std::make_shared<QtFileDialog>();
    p.trayIcon = std::make_shared<QtTrayIcon>();
    p.sound = std::make_shared<QtSoundPlayer>();
    p.makeTimer = [](QObject* parent) { return makeQtTimer(parent); };
    auto manager = std::make_shared<QNetworkAccessManager>();
    p.makeTransfer = [manager]() { return makeQtTransfer(manager.get()); };
    return p;
}

} // namespace kelvo
