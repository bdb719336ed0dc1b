#include "platform/qt/trayicon.h"

#include <QSystemTrayIcon>

namespace kelvo {

QtTrayIcon::QtTrayIcon() = default;
QtTrayIcon::~QtTrayIcon() = default;

TrayIcon::Host QtTrayIcon::host() const
{
    return QSystemTrayIcon::isSystemTrayAvailable() ? Host::IconWindow : Host::None;
}

void QtTrayIcon::add(const QIcon& icon, const QString& tip)
{
    // Qt would wait for a tray to come and show the icon then; the window
    // would be hidden with nothing to bring it back meanwhile.
    if (!isShown() && host() == Host::None)
        return;
    if (!m_icon) {
        m_icon = std::make_unique<QSystemTrayIcon>();
        // The icon sees the mouse: a single click, the context menu request
        // and the middle button do nothing.
        QObject::connect(m_icon.get(), &QSystemTrayIcon::activated,
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             if (reason == QSystemTrayIcon::DoubleClick && m_onRestore)
                                 m_onRestore();
                         });
    }
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
    m_icon->show();
}

void QtTrayIcon::remove()
{
    if (m_icon)
        m_icon->hide();
}

bool QtTrayIcon::isShown() const
{
    return m_icon && m_icon->isVisible();
}

void QtTrayIcon::setRestoreHandler(std::function<void()> handler)
{
    m_onRestore = std::move(handler);
}

} // namespace kelvo
