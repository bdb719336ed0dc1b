#pragma once

#include "service/protocol.h"

#include <QDateTime>
#include <QString>
#include <optional>

// A login kept in the system's password store, so that a start with nobody at
// the keyboard logs in by itself. Everything here is a plain function.
namespace kelvo::service::keptlogin {

// What the login request sends, and nothing more: never the clear password.
struct Login {
    QString user;
    QString encodedPassword;
    int system = service::NoSystem;
};

// The store's secret: the three on a line each. A secret that is not three
// lines with a user name, an encoded password and a system code 1 to 3 is
// no login.
QString toSecret(const Login& login);
std::optional<Login> fromSecret(const QString& secret);

// The store's account of a start folder: the folder itself, as the user
// knows it, so that two folders keep two logins.
QString account(const QString& startFolder);

// What follows an answer to a kept login: the service refusing it asks the
// user, with no retry; a service out of reach is asked again after
// kRetrySeconds, until it answers.
enum class Next { LoggedIn, AskUser, TryAgain };
Next afterLogin(service::LoginOutcome outcome);
inline constexpr int kRetrySeconds = 10;

// A start by the desktop hides to the notification area once logged in; a
// panel that starts after the program is waited for this long, then the
// window is minimised instead.
inline constexpr int kTrayWaitSeconds = 30;

// Whether `seconds` have passed since `since`, on the window's clock.
bool elapsed(const QDateTime& since, const QDateTime& now, int seconds);

} // namespace kelvo::service::keptlogin
