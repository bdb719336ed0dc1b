#include "app/mainform.h"
#include "buildconfig.h"
#include "platform/fontsetup.h"
#include "platform/platform.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The fonts' set-up runs beside the set-up of the application and its
    // display connection.
    const auto fontSetUpDone = kelvo::startFontSetUp();
    QApplication app(argc, argv);
    // It takes longer than the application's set-up; the wait goes to
    // decoding the window's background, which its first paint then finds
    // ready.
    const QPixmap background = kelvo::MainForm::backgroundPicture(app.devicePixelRatio());
    fontSetUpDone();
    QApplication::setApplicationName(QStringLiteral("Kelvo-Rozevid"));
    QApplication::setApplicationVersion(QString::fromLatin1(kelvo::kVersion));
    // The name of the installed menu entry (packaging/), so that the desktop
    // puts the window under its entry and shows the entry's icon for it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kelvorozevid.KelvoRozevid"));
    // The window may be hidden to the notification area; the program ends
    // only by "Exit" or by closing the window.
    QApplication::setQuitOnLastWindowClosed(false);

    kelvo::MainForm form(kelvo::qtPlatform(), QUrl(QString::fromLatin1(kelvo::kServiceUrl)));
    form.setBackgroundPicture(background);
    QObject::connect(&form, &kelvo::MainForm::exitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
