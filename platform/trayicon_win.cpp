#include "platform/trayicon.h"

namespace kelvo {

// The Windows notification area passes on the mouse itself, as an XEmbed
// tray does: a single click, then a double click.
QtTrayIcon::Host QtTrayIcon::host() const
{
    return Host::XEmbed;
}

} // namespace kelvo
