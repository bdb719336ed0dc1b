#include "app/mainform.h"

#include <QLabel>

namespace kelvo {

QString MainForm::trayTip() const
{
    QString tip = QStringLiteral("Kelvo-Rozevid - double click to restore");
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
    if (m_platform.trayIcon->isAvailable()) {
        AddTrayIcon();
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

} // namespace kelvo
