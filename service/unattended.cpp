// Running unattended: "Auto Start" keeps the accepted login in the system's
// password store and has the desktop start the program in its start folder;
// a start there logs in with the kept login by itself and rides out a
// service that cannot be reached yet.

#include "service/session.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>

namespace kelvo::service {

QString Session::noPasswordStoreText()
{
    return QStringLiteral("No password store is available, so the login cannot be kept.");
}

void Session::loadAutostart()
{
    m_startFolder = keptlogin::account(QDir::currentPath());
    m_autostart = m_platform.autostart->state(m_startFolder);
    // A program that has moved (a new install) is started from its new place.
    if (m_autostart == Autostart::State::Enabled)
        m_platform.autostart->enable(m_startFolder, QCoreApplication::applicationFilePath());
}

void Session::readKeptLogin()
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

void Session::keptLoginRead(PasswordStore::Status status, const QString& secret)
{
    // The user has logged in meanwhile, or is logging in.
    if (isLoggedIn() || m_loginTransfer->stillExecuting())
        return;
    const auto login =
        status == PasswordStore::Status::Done ? keptlogin::fromSecret(secret) : std::nullopt;
    if (!login) {
        emit keptLoginUnreadable();
        return;
    }
    m_keptLogin = *login;
    emit autoStartChanged(m_autostart == Autostart::State::Enabled);
    emit keptLoginFound(login->user, login->system);
    sendKeptLogin();
}

void Session::sendKeptLogin()
{
    m_system = m_keptLogin.system;
    sendLogin(m_keptLogin.user, m_keptLogin.encodedPassword, m_keptLogin.system, true);
}

void Session::keepLogin(std::function<void(bool kept)> done)
{
    const keptlogin::Login login{m_user, m_password, m_system};
    m_platform.passwordStore->keep(
        m_startFolder, keptlogin::toSecret(login),
        [self = QPointer(this), done](PasswordStore::Status status, const QString&) {
            if (self)
                done(status == PasswordStore::Status::Done);
        });
}

void Session::setAutoStart(bool on)
{
    // A change while the store has yet to answer the last changes nothing.
    if (std::exchange(m_autostartBusy, true))
        return;
    if (!on) {
        forgetLogin();
        return;
    }
    // On only once both are in place.
    keepLogin([this](bool kept) {
        m_autostartBusy = false;
        if (!kept) {
            emit autoStartFailed(noPasswordStoreText());
            return;
        }
        if (!m_platform.autostart->enable(m_startFolder, QCoreApplication::applicationFilePath())) {
            forgetLogin();
            emit autoStartFailed(
                QStringLiteral("The program could not be set to start with the desktop."));
            return;
        }
        m_autostart = Autostart::State::Enabled;
        emit autoStartChanged(true);
        emit autoStartReported(QStringLiteral("Login kept for Auto Start."));
    });
}

void Session::forgetLogin()
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
                emit self->autoStartFailed(
                    QStringLiteral("The kept login could not be removed from the password "
                                   "store, so \"Auto Start\" stays on. Try again once the store "
                                   "is available, or remove it by hand: %1")
                        .arg(passwordStoreRemovalHint(self->m_startFolder)));
                return;
            }
            self->m_platform.autostart->disable(self->m_startFolder);
            self->m_autostart = self->m_platform.autostart->state(self->m_startFolder);
            emit self->autoStartChanged(self->m_autostart != Autostart::State::Absent);
            emit self->autoStartReported(QStringLiteral("Kept login removed."));
        });
}

} // namespace kelvo::service
