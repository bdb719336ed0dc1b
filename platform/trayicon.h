#pragma once

#include <QIcon>
#include <QString>
#include <functional>
#include <memory>

namespace kelvo {

// The icon in the desktop's notification area. Only what brings the window
// back is reported; the window decides what it does with it.
class TrayIcon {
public:
    // The kinds of notification area, which differ in how the user brings the
    // window back.
    enum class Host {
        None,           // no notification area
        IconWindow,     // the icon is a window of its own (Windows, an XEmbed
                        // tray): it sees the mouse, and a double click restores
        StatusNotifier, // a StatusNotifierItem host over D-Bus: it only reports
                        // that the item was activated, on one click
    };

    virtual ~TrayIcon() = default;
    // The area that holds the icon while it is shown; else the one an icon
    // would go to now, looked for afresh at each call.
    virtual Host host() const = 0;
    // Puts the icon into host(). While it is shown, only its tip changes, in
    // place. When there is no area, or it refuses the icon, nothing is shown.
    virtual void add(const QIcon& icon, const QString& tip) = 0;
    // Removing an icon that is not shown does nothing.
    virtual void remove() = 0;
    virtual bool isShown() const = 0;
    // Called when the window should come back: the user asked for it on the
    // icon, or the notification area that held the icon went away.
    virtual void setRestoreHandler(std::function<void()> handler) = 0;
};

// The desktop's own notification area (one implementation per platform).
std::shared_ptr<TrayIcon> desktopTrayIcon();

} // namespace kelvo
