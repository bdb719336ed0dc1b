#include "platform/qt/trayicon.h"

namespace kelvo {

// Where Qt's icon reaches every notification area there is.
std::shared_ptr<TrayIcon> desktopTrayIcon()
{
    return std::make_shared<QtTrayIcon>();
}

} // namespace kelvo
