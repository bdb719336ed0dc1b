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
