// Running unattended: "Auto Start" keeps the accepted login in the system's
// password store and has the desktop start the program in its start folder;
// a start there logs in with the kept login by itself, rides out a service
// that cannot be reached yet, and, started by the desktop, hides to the
// notification area.

#include "app/mainform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace kelvo {

QString MainForm::keptLoginRetryText()
{
    return QStringLiteral("The service could not be reached. Trying again every 10 seconds.");
}

QString MainForm::keptLoginUnreadableText()
{
    return QStringLiteral("The kept login could not be read from the password store.");
}

QString MainForm::noPasswordStoreText()
{
    return QStringLiteral("No password store is available, so the login cannot be kept.");
}

void MainForm::setStartedByDesktop(bool byDesktop)
{
    m_startedByDesktop = byDesktop;
}

void MainForm::readKeptLoginAfterFirstFrame()
{
    m_readAfterFirstFrame = true;
}

void MainForm::loadAutostart()
{
    m_startFolder = service::keptlogin::account(QDir::currentPath());
    m_autostart = m_platform.autostart->state(m_startFolder);
    // A program that has moved (a new install) is started from its new place.
    if (m_autostart == Autostart::State::Enabled)
        m_platform.autostart->enable(m_startFolder, QCoreApplication::applicationFilePath());
}

void MainForm::ReadKeptLogin()
{
    // Only a folder with an entry has a kept login: the others never wake the
    // store (which may ask to be unlocked).
    if (m_autostart == Autostart::State::Absent)
        return;
    m_platform.passwordStore->read(
        m_startFolder,
        [self = QPointer(this)](PasswordStore::Status status, const QString& secret) {
            if (self)
                self->keptLoginRead(status, secret);
        });
}

void MainForm::keptLoginRead(PasswordStore::Status status, const QString& secret)
{
    // The user has logged in meanwhile, or is logging in.
    if (!Password.isEmpty() || InetLogin->stillExecuting())
        return;
    const auto login = status == PasswordStore::Status::Done
                           ? service::keptlogin::fromSecret(secret)
                           : std::nullopt;
    if (!login) {
        showLoginError(keptLoginUnreadableText());
        return;
    }
    m_keptLogin = *login;
    CheckAutoStart->setChecked(m_autostart == Autostart::State::Enabled);
    BoxUser->setText(login->user);
    ComboSystem->setCurrentIndex(login->system - 1);
    sendKeptLogin();
}

void MainForm::sendKeptLogin()
{
    System = m_keptLogin.system;
    sendLogin(m_keptLogin.user, m_keptLogin.encodedPassword, m_keptLogin.system, true);
}

void MainForm::keptLoginUnreachable()
{
    // Never a panel that waits for a person because the network was late.
    showLoginError(keptLoginRetryText());
    m_keptLoginFailedAt = m_platform.clock->now();
    UpdateLoginButton();
}

void MainForm::loginAccepted(bool kept)
{
    if (kept) {
        if (m_startedByDesktop) {
            m_trayWaitSince = m_platform.clock->now();
            hideWhenTrayShows();
        }
        return;
    }
    // A login by hand in a folder with a kept login replaces it.
    if (m_autostart != Autostart::State::Absent) {
        keepLogin([this](bool done) {
            CheckAutoStart->setChecked(done && m_autostart == Autostart::State::Enabled);
        });
    }
}

void MainForm::keepLogin(std::function<void(bool kept)> done)
{
    const service::keptlogin::Login login{User, Password, System};
    m_platform.passwordStore->keep(
        m_startFolder, service::keptlogin::toSecret(login),
        [self = QPointer(this), done](PasswordStore::Status status, const QString&) {
            if (self)
                done(status == PasswordStore::Status::Done);
        });
}

void MainForm::CheckAutoStart_Click(bool checked)
{
    // The box keeps the keyboard's focus while the store answers; a click
    // meanwhile changes nothing.
    CheckAutoStart->setChecked(!checked);
    if (std::exchange(m_autostartBusy, true))
        return;
    if (!checked) {
        forgetLogin();
        return;
    }
    // Checked only once both are in place.
    keepLogin([this](bool kept) {
        m_autostartBusy = false;
        if (!kept) {
            showMessage(QStringLiteral("Kelvo-Rozevid - Auto Start"), noPasswordStoreText());
            return;
        }
        if (!m_platform.autostart->enable(m_startFolder, QCoreApplication::applicationFilePath())) {
            forgetLogin();
            showMessage(QStringLiteral("Kelvo-Rozevid - Auto Start"),
                        QStringLiteral("The program could not be set to start with the desktop."));
            return;
        }
        m_autostart = Autostart::State::Enabled;
        CheckAutoStart->setChecked(true);
        showAutoStartState(QStringLiteral("Login kept for Auto Start."));
    });
}

void MainForm::forgetLogin()
{
    m_autostartBusy = true;
    m_platform.passwordStore->forget(
        m_startFolder, [self = QPointer(this)](PasswordStore::Status status, const QString&) {
            if (!self)
                return;
            self->m_autostartBusy = false;
            // The entry goes only together with the login: a login that
            // stays in the store is never hidden behind an unchecked box.
            if (status != PasswordStore::Status::Done) {
                self->showMessage(QStringLiteral("Kelvo-Rozevid - Auto Start"),
                                  QStringLiteral("The kept login could not be removed from the "
                                                 "password store, so \"Auto Start\" stays on. "
                                                 "Try again once the store is available, or "
                                                 "remove it by hand: %1")
                                      .arg(passwordStoreRemovalHint(self->m_startFolder)));
                return;
            }
            self->m_platform.autostart->disable(self->m_startFolder);
            self->m_autostart = self->m_platform.autostart->state(self->m_startFolder);
            self->CheckAutoStart->setChecked(self->m_autostart != Autostart::State::Absent);
            self->showAutoStartState(QStringLiteral("Kept login removed."));
        });
}

void MainForm::showAutoStartState(const QString& text)
{
    LabAutoStart->hide();
    LabAutoStart->setText(text);
    LabAutoStart->setAccessibleName(text);
    LabAutoStart->show();
}

bool MainForm::startsWithDesktop() const
{
    return m_autostart == Autostart::State::Enabled;
}

void MainForm::setBeforeMessage(std::function<void()> hook)
{
    m_beforeMessage = std::move(hook);
}

void MainForm::unattendedStep()
{
    const QDateTime now = m_platform.clock->now();
    if (m_keptLoginFailedAt && Password.isEmpty() && !InetLogin->stillExecuting() &&
        service::keptlogin::elapsed(*m_keptLoginFailedAt, now, service::keptlogin::kRetrySeconds))
        sendKeptLogin();
    if (m_trayWaitSince)
        hideWhenTrayShows();
}

void MainForm::hideWhenTrayShows()
{
    // The first signals bring the window back (as any new positions do): it
    // hides once they are in.
    if (OldOrders.isEmpty())
        return;
    // Never hidden without an icon: with no notification area after the
    // wait, the window is minimised.
    AddTrayIcon();
    if (m_platform.trayIcon->isShown()) {
        hide();
    } else if (service::keptlogin::elapsed(*m_trayWaitSince, m_platform.clock->now(),
                                           service::keptlogin::kTrayWaitSeconds)) {
        showMinimized();
    } else {
        return;
    }
    m_trayWaitSince.reset();
}

} // namespace kelvo
