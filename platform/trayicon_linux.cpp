#include "platform/trayicon.h"

namespace kelvo {

// Qt chooses the kind of icon itself when it creates it: a StatusNotifierItem
// on D-Bus where it saw a host registered, else on X11 an XEmbed window.
// It does not say which, but it answers by the icon's place: an XEmbed icon
// is a window on the screen, a StatusNotifierItem has no geometry at all. An
// activation comes from an XEmbed icon only while it is on the screen.
QtTrayIcon::Host QtTrayIcon::host() const
{
    return m_icon && m_icon->geometry().isEmpty() ? Host::StatusNotifier : Host::XEmbed;
}

} // namespace kelvo
