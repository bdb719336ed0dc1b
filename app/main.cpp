#include "app/mainform.h"
#include "buildconfig.h"
#include "platform/platform.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvo-Rozevid"));
    QApplication::setApplicationVersion(QString::fromLatin1(kelvo::kVersion));
    // The name of the installed menu entry (packaging/), so that the desktop
    // puts the window under its entry and shows the entry's icon for it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kelvorozevid.KelvoRozevid"));
    // The window may be hidden to the notification area; the program ends
    // only by "Exit" or by closing the window.
    QApplication::setQuitOnLastWindowClosed(false);

    kelvo::MainForm form(kelvo::qtPlatform(), QUrl(QString::fromLatin1(kelvo::kServiceUrl)));
    QObject::connect(&form, &kelvo::MainForm::exitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
