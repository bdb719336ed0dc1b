#pragma once

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

namespace kelvo {

// The icon in the desktop's notification area. Only the click that brings
// the window back is reported; the window decides what it does with it.
class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    // False where the desktop has no notification area to put an icon in.
    virtual bool isAvailable() const = 0;
    virtual void add(const QIcon& icon, const QString& tip) = 0;
    // Removing an icon that is not shown does nothing.
    virtual void remove() = 0;
    virtual bool isShown() const = 0;
    virtual void setRestoreHandler(std::function<void()> handler) = 0;
};

class QtTrayIcon final : public TrayIcon {
public:
    QtTrayIcon();
    ~QtTrayIcon() override;
    bool isAvailable() const override;
    void add(const QIcon& icon, const QString& tip) override;
    void remove() override;
    bool isShown() const override;
    void setRestoreHandler(std::function<void()> handler) override;

    // How a notification area reports clicks on the icon. An XEmbed tray,
    // like the Windows notification area, passes on the mouse itself: a
    // press, then a double click. A StatusNotifierItem host only asks the
    // item to activate (and has no double click), however its user clicked.
    enum class Host { XEmbed, StatusNotifier };

    // A left-button double click brings the window back, and so does an
    // activation where the host reports nothing else. A single click on an
    // XEmbed tray, the context menu request and the middle button do nothing.
    static bool restoresOn(QSystemTrayIcon::ActivationReason reason, Host host);

private:
    Host host() const; // one implementation per platform

    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::function<void()> m_onRestore;
};

} // namespace kelvo
