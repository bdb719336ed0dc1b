#pragma once

#include "app/mainform.h"
#include "fakeplatform.h"
#include "testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

namespace kelvo::test {

// A window under test, started in a fresh folder of its own with the
// platform doubles. Its timers never fire by themselves: tests call the
// handlers or fire the doubles.
struct FormFixture {
    explicit FormFixture(const QUrl& serviceUrl = QUrl(QStringLiteral("http://127.0.0.1:9")),
                         TransferLimits limits = {})
    {
        QDir::setCurrent(folder.path());
        fakes.limits = limits;
        form = std::make_unique<MainForm>(fakes.platform(), serviceUrl);
    }
    ~FormFixture()
    {
        form.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    QString path(const QString& name) const { return folder.filePath(name); }

    // Loads the settings and puts the window in the state an accepted login
    // for `system` leaves, exporting into the folder "export" of the fixture.
    void signIn(int system)
    {
        form->Form_Load();
        const QString exportDir = path(QStringLiteral("export"));
        QDir().mkpath(exportDir);
        form->BoxPath->setText(exportDir + QLatin1Char('/'));
        form->System = system;
        form->User = QStringLiteral("ann");
        form->Password = QStringLiteral("c$cba");
        form->ShowMainPanel();
        form->show();
    }
    // Runs the event loop until no request of the window is under way.
    bool waitUntilIdle(int timeoutMs = 10000)
    {
        QElapsedTimer elapsed;
        elapsed.start();
        while (form->updateCycleWaiting() || form->InetLogin->stillExecuting()) {
            if (elapsed.hasExpired(timeoutMs))
                return false;
            QTimer::singleShot(10, [] {});
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }

    // Lets the clock run for `seconds`, ticking the timers as they would
    // tick and waiting for every cycle they start. False when a cycle never
    // finished.
    bool runFor(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            fakes.clock->advance(1);
            timer().fire();
            if (fakes.clock->current.time().second() % 10 == 0)
                checkTimer().fire();
            if (!waitUntilIdle())
                return false;
        }
        return true;
    }

    QString exportFile(const QString& name) const { return path(QStringLiteral("export/") + name); }
    FakeTimer& timer() { return *fakes.timers->at(0); }
    FakeTimer& checkTimer() { return *fakes.timers->at(1); }

    QTemporaryDir folder;
    FakePlatform fakes;
    std::unique_ptr<MainForm> form;
};

} // namespace kelvo::test
