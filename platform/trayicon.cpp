#include "platform/trayicon.h"

#include <QSystemTrayIcon>

namespace kelvo {

QtTrayIcon::QtTrayIcon() = default;
QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::add(const QIcon& icon, const QString& tip)
{
    if (!m_icon) {
        m_icon = std::make_unique<QSystemTrayIcon>();
        QObject::connect(m_icon.get(), &QSystemTrayIcon::activated,
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             if (restoresOn(reason, host()) && m_onRestore)
                                 m_onRestore();
                         });
    }
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
    m_icon->show();
}

bool QtTrayIcon::restoresOn(QSystemTrayIcon::ActivationReason reason, Host host)
{
    return reason == QSystemTrayIcon::DoubleClick ||
           (reason == QSystemTrayIcon::Trigger && host == Host::StatusNotifier);
}

// Qt chooses the kind of icon itself when it creates it: a StatusNotifierItem
// on D-Bus where it saw a host registered, else on X11 an XEmbed window.
// It does not say which, but it answers by the icon's place: an XEmbed icon
// is a window on the screen, a StatusNotifierItem has no geometry at all. An
// activation comes from an XEmbed icon only while it is on the screen.
QtTrayIcon::Host QtTrayIcon::host() const
{
    return m_icon && m_icon->geometry().isEmpty() ? Host::StatusNotifier : Host::XEmbed;
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
