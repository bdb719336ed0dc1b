#pragma once

#include "platform/trayicon.h"

#include <QSystemTrayIcon>

namespace kelvo {

// Qt's icon: the Windows notification area, or an XEmbed tray under X11.
class QtTrayIcon final : public TrayIcon {
public:
    QtTrayIcon();
    ~QtTrayIcon() override;
    Host host() const override;
    void add(const QIcon& icon, const QString& tip) override;
    void remove() override;
    bool isShown() const override;
    void setRestoreHandler(std::function<void()> handler) override;

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::function<void()> m_onRestore;
};

} // namespace kelvo
