#pragma once

// Doubles for the platform layer, which never block, make a noise or read the
// real clock, and a window under test built on them.

#include "app/mainform.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

namespace kelvo::test {

struct FakeMessageBox final : MessageBox {
    void show(QWidget*, const QString& title, const QString& text) override
    {
        shown.append(title + QLatin1Char('|') + text);
    }
    QStringList shown;
};

struct FakeBeep final : Beep {
    void beep() override { ++count; }
    int count = 0;
};

struct FakeClock final : Clock {
    QDateTime now() const override { return current; }
    QDateTime current{QDate(2026, 3, 2), QTime(9, 0, 0)};
};

struct FakeFileDialog final : FileDialog {
    QString chooseFolder(QWidget*) override { return chosen; }
    QString chosen; // empty: cancelled at the first use
};

struct FakeTrayIcon final : TrayIcon {
    Host host() const override { return Host::IconWindow; }
    void add(const QIcon&, const QString& tipShown) override
    {
        shown = present;
        tip = tipShown;
    }
    void remove() override { shown = false; }
    bool isShown() const override { return shown; }
    void setRestoreHandler(std::function<void()>) override {}
    bool shown = false;
    bool present = true; // a notification area to add the icon to
    QString tip;
};

// A password store that answers at once, or fails as a missing or locked one.
struct FakePasswordStore final : PasswordStore {
    void read(const QString& account, Answer answer) override
    {
        answer(!available               ? Status::Failed
               : kept.contains(account) ? Status::Done
                                        : Status::NotFound,
               kept.value(account));
    }
    void keep(const QString& account, const QString& secret, Answer answer) override
    {
        if (available)
            kept[account] = secret;
        answer(available ? Status::Done : Status::Failed, {});
    }
    void forget(const QString& account, Answer answer) override
    {
        if (available)
            kept.remove(account);
        answer(available ? Status::Done : Status::Failed, {});
    }
    QMap<QString, QString> kept; // account: secret
    bool available = true;
};

struct FakeAutostart final : Autostart {
    State state(const QString& folder) const override
    {
        return entries.contains(folder) ? State::Enabled : State::Absent;
    }
    bool enable(const QString& folder, const QString& program) override
    {
        entries[folder] = program;
        return true;
    }
    bool disable(const QString& folder) override { return entries.remove(folder) >= 0; }
    QMap<QString, QString> entries; // start folder: program
};

struct FakeSoundPlayer final : SoundPlayer {
    bool play(const QString& fileName) override
    {
        played.append(fileName);
        return accept;
    }
    QString installedAlarmFile() const override { return installed; }
    QStringList played;
    bool accept = true;
    QString installed;
};

struct FakeTimer final : PeriodicTimer {
    void start(int, std::function<void()> onTick) override { m_onTick = std::move(onTick); }
    int interval() const override { return 0; }
    bool isActive() const override { return bool(m_onTick); }
    void fire() { m_onTick(); }
    std::function<void()> m_onTick;
};

// The doubles, in a fresh folder of their own made the current one, with
// real HTTP transfers. The timers tick only when a test fires them.
struct Fixture {
    explicit Fixture(TransferLimits limits) : transfers(curlTransfers(limits))
    {
        QDir::setCurrent(folder.path());
        qputenv("XDG_CONFIG_HOME", folder.path().toUtf8()); // the list of folders with alerts
    }
    virtual ~Fixture() { QDir::setCurrent(QDir::tempPath()); }
    virtual service::Session& session() = 0;

    CorePlatform core()
    {
        const auto makeTimer = [this](QObject*) {
            timers.append(new FakeTimer);
            return std::unique_ptr<PeriodicTimer>(timers.last());
        };
        return {beep, clock, sound, makeTimer, transfers, store, autostart};
    }
    QString path(const QString& name) const { return folder.filePath(name); }
    QByteArray exported(const QString& name) const
    {
        QFile file(path(QStringLiteral("export/") + name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }
    // Runs the event loop until no request of the session is under way.
    bool waitUntilIdle()
    {
        QElapsedTimer elapsed;
        elapsed.start();
        while (session().busy()) {
            if (elapsed.hasExpired(20000))
                return false;
            QTimer::singleShot(10, [] {});
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
    // Lets the clock run for `seconds`, ticking the timers as they would tick
    // and waiting for every cycle they start. False when a cycle never ends.
    bool runFor(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            clock->current = clock->current.addSecs(1);
            timers.at(0)->fire();
            if (clock->current.time().second() % 10 == 0)
                timers.at(1)->fire();
            if (!waitUntilIdle())
                return false;
        }
        return true;
    }

    QTemporaryDir folder;
    std::shared_ptr<FakeMessageBox> messageBox = std::make_shared<FakeMessageBox>();
    std::shared_ptr<FakeBeep> beep = std::make_shared<FakeBeep>();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<FakeFileDialog> fileDialog = std::make_shared<FakeFileDialog>();
    std::shared_ptr<FakeTrayIcon> tray = std::make_shared<FakeTrayIcon>();
    std::shared_ptr<FakeSoundPlayer> sound = std::make_shared<FakeSoundPlayer>();
    std::shared_ptr<FakePasswordStore> store = std::make_shared<FakePasswordStore>();
    std::shared_ptr<FakeAutostart> autostart = std::make_shared<FakeAutostart>();
    std::function<std::unique_ptr<HttpTransfer>()> transfers;
    QList<FakeTimer*> timers; // in the order they were made: each second, each ten seconds
};

// A session with no window, talking to `serviceUrl`.
struct SessionFixture : Fixture {
    explicit SessionFixture(const QUrl& serviceUrl, TransferLimits limits = {}) : Fixture(limits)
    {
        s = std::make_unique<service::Session>(core(), serviceUrl);
    }
    service::Session& session() override { return *s; }
    // The state an accepted login for `system` leaves, exporting into the
    // folder "export" of the fixture.
    void signIn(int system)
    {
        s->load();
        QDir().mkpath(path(QStringLiteral("export")));
        s->settings().setFolder(path(QStringLiteral("export/")));
        s->begin(QStringLiteral("ann"), QStringLiteral("c$cba"), system);
    }
    std::unique_ptr<service::Session> s;
};

// The window, on a session talking to `serviceUrl`.
struct FormFixture : Fixture {
    explicit FormFixture(const QUrl& serviceUrl = QUrl(QStringLiteral("http://127.0.0.1:9")),
                         TransferLimits limits = {})
        : Fixture(limits)
    {
        form =
            std::make_unique<MainForm>(Platform{core(), messageBox, fileDialog, tray}, serviceUrl);
    }
    service::Session& session() override { return form->session(); }
    void signIn(int system)
    {
        form->load();
        QDir().mkpath(path(QStringLiteral("export")));
        form->BoxPath->setText(path(QStringLiteral("export/")));
        session().begin(QStringLiteral("ann"), QStringLiteral("c$cba"), system);
        form->show();
        messageBox->shown.clear(); // the first start's settings message
    }
    std::unique_ptr<MainForm> form;
};

} // namespace kelvo::test
