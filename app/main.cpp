#include "app/mainform.h"
#include "buildconfig.h"
#include "platform/autostart.h"
#include "platform/fontsetup.h"
#include "platform/instanceguard.h"
#include "platform/messagebox.h"
#include "platform/platform.h"

#include <QApplication>
#include <QDir>
#include <QSessionManager>
#include <QTimer>
#include <thread>
#include <utility>

int main(int argc, char* argv[])
{
    // The fonts' set-up runs beside the set-up of the application and its
    // display connection.
    const auto fontSetUpDone = kelvo::startFontSetUp();
    QApplication app(argc, argv);
    // The program works in its start folder: the one given after the
    // argument, whatever folder the desktop started it in, else the current
    // one.
    const kelvo::StartArguments start = kelvo::parseStartArguments(QApplication::arguments());
    if (!start.folder.isEmpty() && !QDir::setCurrent(start.folder)) {
        fontSetUpDone();
        const auto [title, text] = kelvo::MainForm::startFolderMessage(start.folder);
        kelvo::desktopMessageBox()->show(nullptr, title, text);
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
        // The desktop's start at login (its autostart entry, or a restored
        // session) finds the program there already: nothing to do.
        if (start.byDesktop)
            return 0;
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
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kelvo::kIconName));
    // The window may be hidden to the notification area; the program ends
    // only by "Exit" or by closing the window.
    QApplication::setQuitOnLastWindowClosed(false);

    kelvo::MainForm form(kelvo::qtPlatform(), QUrl(QString::fromLatin1(kelvo::kServiceUrl)));
    form.setBackgroundPicture(background);
    form.session().phoneAlerts().setTelegramApi(QUrl(QString::fromLatin1(kelvo::kTelegramApiUrl)));
    QObject::connect(&form, &kelvo::MainForm::exitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    form.setStartedByDesktop(start.byDesktop);
    // Later starts in this folder are heard from a second on: loading Qt
    // Network for that then costs the window's first picture nothing, and a
    // start meanwhile waits for it. A message box at start (a first start, a
    // repaired Config.dat) has them heard at once, while it waits for a click.
    bool listening = false;
    const auto listen = [&] {
        if (!std::exchange(listening, true))
            guard.listen([&] { form.showAgain(); });
    };
    form.setBeforeMessage(listen);
    // The desktop's autostart entry is the one way back at login: a session
    // that restored the program as well would start a second copy. A
    // program without it that the session restores comes back in its own
    // start folder.
    QObject::connect(
        &app, &QGuiApplication::saveStateRequest, &form, [&form](QSessionManager& manager) {
            if (form.startsWithDesktop()) {
                manager.setRestartHint(QSessionManager::RestartNever);
                return;
            }
            manager.setRestartHint(QSessionManager::RestartIfRunning);
            manager.setRestartCommand({QCoreApplication::applicationFilePath(),
                                       QStringLiteral("--autostart"), QDir::currentPath()});
        });
    form.load();
    // A kept login logs in by itself, asked for once the window shows.
    form.readKeptLoginAfterFirstFrame();
    form.show();
    QTimer::singleShot(1000, &form, listen);
    return QApplication::exec();
}
