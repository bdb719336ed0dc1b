#include "app/mainform.h"
#include "buildconfig.h"
#include "platform/instanceguard.h"
#include "platform/platform.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <fontconfig/fontconfig.h>
#include <thread>

namespace {

// Runs a step once the window has drawn itself for the first time, so that
// it costs the start-up nothing.
class AfterFirstPaint final : public QObject {
public:
    AfterFirstPaint(QWidget* window, std::function<void()> step) : m_step(std::move(step))
    {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, m_step);
        }
        return false;
    }

private:
    std::function<void()> m_step;
};

} // namespace

int main(int argc, char* argv[])
{
    // Reading the system's font configuration is the largest single cost of
    // the first window, and it needs nothing of Qt: it runs beside the set-up
    // of the application and its display connection, and Qt's font database
    // then finds it done.
    std::thread fontConfiguration([] { FcInit(); });
    QApplication app(argc, argv);
    // One program per start folder: a second start brings the first one's
    // window back and leaves, before it has a window of its own. (The lock
    // is taken while the font thread still runs.)
    kelvo::InstanceGuard guard(QDir::currentPath());
    if (!guard.claim()) {
        fontConfiguration.join();
        return guard.wakeRunning() ? 0 : 1;
    }
    // The thread takes longer than the application's set-up; the wait goes
    // to decoding the window's background, which its first paint then finds
    // ready.
    const QPixmap background = kelvo::MainForm::backgroundPicture(app.devicePixelRatio());
    fontConfiguration.join();
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
    AfterFirstPaint listen(&form, [&] { guard.listen([&] { form.ShowAgain(); }); });
    form.show();
    return QApplication::exec();
}
