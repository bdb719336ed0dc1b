#include "app/mainform.h"

#include <QApplication>

namespace kelvo {

QString MainForm::trayTip() const
{
    // A StatusNotifierItem host reports one click, and nothing else.
    QString tip = m_platform.trayIcon->host() == TrayIcon::Host::StatusNotifier
                      ? QStringLiteral("Kelvo-Rozevid - click to restore")
                      : QStringLiteral("Kelvo-Rozevid - double click to restore");
    if (const auto since = m_session.silentSince())
        tip += QLatin1Char('\n') + schedule::noAnswerText(*since) + QLatin1Char('\n') +
               m_session.lastFailure();
    return tip;
}

void MainForm::addTrayIcon()
{
    m_platform.trayIcon->add(windowIcon(), trayTip());
}

void MainForm::minimize()
{
    // The notification area is looked for at each click: one that started
    // since the last is used.
    addTrayIcon();
    if (m_platform.trayIcon->isShown()) {
        hide();
    } else {
        // Without a notification area a hidden window could not be brought
        // back; keep it on the task bar instead.
        showMinimized();
    }
}

void MainForm::restoreFromTray()
{
    const bool comingBack = !isVisible() || isMinimized();
    show();
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    m_platform.trayIcon->remove();
    if (comingBack) {
        raise();
        activateWindow();
    }
}

void MainForm::showAgain()
{
    restoreFromTray();
    raise();
    activateWindow();
    // Where the desktop keeps the focus from a program that asks for it, the
    // window is marked as wanting attention instead.
    QApplication::alert(this);
}

void MainForm::hideWhenTrayShows()
{
    // The first signals bring the window back (as any new positions do): it
    // hides once they are in.
    if (m_session.positionsKey().isEmpty())
        return;
    // Never hidden without an icon: with no notification area after the
    // wait, the window is minimised.
    addTrayIcon();
    if (m_platform.trayIcon->isShown()) {
        hide();
    } else if (service::keptlogin::elapsed(*m_trayWaitSince, m_platform.core.clock->now(),
                                           service::keptlogin::kTrayWaitSeconds)) {
        showMinimized();
    } else {
        return;
    }
    m_trayWaitSince.reset();
}

} // namespace kelvo
