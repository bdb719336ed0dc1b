#include "service/keptlogin.h"

#include <QDir>
#include <QStringList>

namespace kelvo::service::keptlogin {

QString toSecret(const Login& login)
{
    return login.user + QLatin1Char('\n') + login.encodedPassword + QLatin1Char('\n') +
           QString::number(login.system);
}

std::optional<Login> fromSecret(const QString& secret)
{
    const QStringList lines = secret.split(QLatin1Char('\n'));
    if (lines.size() != 3 || lines.at(0).isEmpty() || lines.at(1).isEmpty())
        return std::nullopt;
    bool number = false;
    const int system = lines.at(2).toInt(&number);
    if (!number || system < service::DailySystem || system > service::BothSystems)
        return std::nullopt;
    return Login{lines.at(0), lines.at(1), system};
}

QString account(const QString& startFolder)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(startFolder).absolutePath()));
}

Next afterLogin(service::LoginOutcome outcome)
{
    switch (outcome) {
    case service::LoginOutcome::Accepted:
        return Next::LoggedIn;
    case service::LoginOutcome::Refused:
        return Next::AskUser;
    case service::LoginOutcome::Unreachable:
        break;
    }
    return Next::TryAgain;
}

bool elapsed(const QDateTime& since, const QDateTime& now, int seconds)
{
    return since.secsTo(now) >= seconds;
}

} // namespace kelvo::service::keptlogin
