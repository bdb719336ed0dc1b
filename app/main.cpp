#include "app/mainform.h"
#include "buildconfig.h"
#include "platform/autostart.h"
#include "platform/fontsetup.h"
#include "platform/instanceguard.h"
#include "platform/messagebox.h"
#include "platform/platform.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <thread>

int main(int argc, char* argv[])
{
    // The fonts' set-up runs beside the set-up of the application and its
    // display connection.
    const auto fontSetUpDone = kelvo::startFontSetUp();
    QApplication app(argc, argv);
    // Started by the desktop at login: on Windows in its system folder, with
    // the start folder given after the argument.
    const kelvo::StartArguments start = kelvo::parseStartArguments(QApplication::arguments());
    if (!start.folder.isEmpty() && !QDir::setCurrent(start.folder)) {
        fontSetUpDone();
        return 1;
    }
    // One program per start folder: a second start brings the first one's
    // window back and leaves, before it has a window of its own. Taking the
    // lock waits for the disk: that goes beside the rest of the start-up, on
    // a thread of its own (started once the application has made this thread
    // Qt's main one).
    kelvo::InstanceGuard guard(QDir::currentPath());
    auto claimed = kelvo::InstanceGuard::Claim::First;
    std::thread claim([&] { claimed = guard.claim(); });
    // The fonts' set-up takes longer than the application's; the wait goes to
    // decoding the window's background, which its first paint then finds
    // ready.
    const QPixmap background = kelvo::MainForm::backgroundPicture(app.devicePixelRatio());
    fontSetUpDone();
    claim.join();
    // A start never ends, nor runs beside another, without a word.
    const auto box = kelvo::desktopMessageBox();
    if (claimed == kelvo::InstanceGuard::Claim::Running) {
        if (guard.wakeRunning())
            return 0;
        const auto [title, text] = kelvo::MainForm::runningUnreachableMessage();
        box->show(nullptr, title, text);
        return 1;
    }
    if (claimed == kelvo::InstanceGuard::Claim::Unguarded) {
        const auto [title, text] = kelvo::MainForm::unguardedMessage(guard.problem());
        box->show(nullptr, title, text);
    }
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
    form.setStartedByDesktop(start.byDesktop);
    form.Form_Load();
    // A kept login logs in by itself, asked for once the window shows.
    form.readKeptLoginAfterFirstFrame();
    form.show();
    // Later starts in this folder are heard from a second on: loading Qt
    // Network for that then costs the window's first picture nothing, and a
    // start meanwhile waits for it.
    QTimer::singleShot(1000, &form, [&] { guard.listen([&] { form.ShowAgain(); }); });
    return QApplication::exec();
}
