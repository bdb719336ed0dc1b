#include "app/mainform.h"

#include <QApplication>
#include <QLabel>

namespace kelvo {

QString MainForm::trayTip() const
{
    // A StatusNotifierItem host reports one click, and nothing else.
    QString tip = m_platform.trayIcon->host() == TrayIcon::Host::StatusNotifier
                      ? QStringLiteral("Kelvo-Rozevid - click to restore")
                      : QStringLiteral("Kelvo-Rozevid - double click to restore");
    if (!LabNoAnswer->isHidden())
        tip += QLatin1Char('\n') + LabNoAnswer->text();
    return tip;
}

void MainForm::AddTrayIcon()
{
    m_platform.trayIcon->add(windowIcon(), trayTip());
}

void MainForm::RemoveTrayIcon()
{
    m_platform.trayIcon->remove();
}

void MainForm::ButMinimize_Click()
{
    // The notification area is looked for at each click: one that started
    // since the last is used.
    AddTrayIcon();
    if (m_platform.trayIcon->isShown()) {
        hide();
    } else {
        // Without a notification area a hidden window could not be brought
        // back; keep it on the task bar instead.
        showMinimized();
    }
}

void MainForm::RestoreFromTray()
{
    const bool comingBack = !isVisible() || isMinimized();
    show();
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    RemoveTrayIcon();
    if (comingBack) {
        raise();
        activateWindow();
    }
}

void MainForm::ShowAgain()
{
    RestoreFromTray();
    raise();
    activateWindow();
    // Where the desktop keeps the focus from a program that asks for it, the
    // window is marked as wanting attention instead.
    QApplication::alert(this);
}

} // namespace kelvo
