#include "service/protocol.h"

#include <algorithm>

namespace kelvo::service {

QString encodePassword(const QString& password)
{
    QString encoded;
    if (!password.isEmpty())
        encoded += password.back();
    encoded += QLatin1Char('$');
    for (int position : {3, 2, 1}) {
        if (password.size() >= position)
            encoded += password.at(position - 1);
    }
    return encoded;
}

int systemCodeForName(const QString& name)
{
    if (name == QLatin1String("Daily System"))
        return DailySystem;
    if (name == QLatin1String("Both Systems"))
        return BothSystems;
    if (name == QLatin1String("Hourly System"))
        return HourlySystem;
    return NoSystem;
}

int loginSystemParameter(int system)
{
    return system == BothSystems ? DailySystem : system;
}

QByteArray encodeQueryValue(const QString& value)
{
    // toPercentEncoding keeps exactly the unreserved set ALPHA DIGIT - . _ ~
    return value.toUtf8().toPercentEncoding();
}

namespace {

QUrl withQuery(const QUrl& serviceUrl, const QByteArray& query)
{
    QByteArray address = serviceUrl.toEncoded(QUrl::RemovePath | QUrl::RemoveQuery |
                                              QUrl::RemoveFragment | QUrl::StripTrailingSlash);
    address += kScriptPath;
    address += '?';
    address += query;
    return QUrl::fromEncoded(address, QUrl::StrictMode);
}

QByteArray credentials(const QString& user, const QString& encodedPassword)
{
    return "u=" + encodeQueryValue(user) + "&p=" + encodeQueryValue(encodedPassword);
}

} // namespace

QUrl loginUrl(const QUrl& serviceUrl, const QString& user, const QString& encodedPassword,
              int system)
{
    QByteArray query = credentials(user, encodedPassword);
    const int s = loginSystemParameter(system);
    if (s != NoSystem)
        query += "&s=" + QByteArray::number(s);
    return withQuery(serviceUrl, query);
}

QUrl timeUrl(const QUrl& serviceUrl)
{
    return withQuery(serviceUrl, "a=1");
}

QUrl signalsUrl(const QUrl& serviceUrl, const QString& user, const QString& encodedPassword,
                int system)
{
    return withQuery(serviceUrl,
                     credentials(user, encodedPassword) + "&s=" + QByteArray::number(system));
}

QStringList splitSignalReply(const QString& reply)
{
    return reply.split(QLatin1Char(','));
}

std::optional<QString> cleanSignalReply(const QString& reply)
{
    qsizetype end = reply.size();
    while (end > 0 &&
           (reply.at(end - 1) == QLatin1Char('\r') || reply.at(end - 1) == QLatin1Char('\n')))
        --end;
    const QString body = reply.left(end);
    if (body.isEmpty())
        return std::nullopt;
    for (const QChar c : body) {
        if (c == QLatin1Char('<') || (c.unicode() < 0x20 && c != QLatin1Char('\t')) ||
            c.unicode() == 0x7f)
            return std::nullopt;
    }
    return body;
}

LoginOutcome loginOutcome(const QString& reply, bool transferFailed)
{
    if (transferFailed)
        return LoginOutcome::Unreachable;
    if (cleanSignalReply(reply))
        return LoginOutcome::Accepted;
    const bool onlyLineBreaks = std::all_of(reply.cbegin(), reply.cend(), [](QChar c) {
        return c == QLatin1Char('\r') || c == QLatin1Char('\n');
    });
    return onlyLineBreaks ? LoginOutcome::Refused : LoginOutcome::Unreachable;
}

std::optional<QString> field(const QStringList& fields, int number)
{
    if (number < 1 || number > fields.size())
        return std::nullopt;
    return fields.at(number - 1);
}

std::optional<QString> signalKey(const QStringList& fields, int system)
{
    QList<int> positions;
    switch (system) {
    case DailySystem:
        positions = {1};
        break;
    case HourlySystem:
        positions = {1, 5};
        break;
    case BothSystems:
        positions = {1, 5, 9};
        break;
    default:
        return std::nullopt;
    }
    QString key;
    for (int position : positions) {
        const auto value = field(fields, position);
        if (!value)
            return std::nullopt;
        key += *value;
    }
    return key;
}

bool isValidTimeReply(const QString& reply)
{
    if (reply.size() < 8)
        return false;
    auto twoDigits = [&](int at, int max) {
        const QChar a = reply.at(at);
        const QChar b = reply.at(at + 1);
        if (a < QLatin1Char('0') || a > QLatin1Char('9') || b < QLatin1Char('0') ||
            b > QLatin1Char('9'))
            return false;
        return (a.unicode() - '0') * 10 + (b.unicode() - '0') <= max;
    };
    // Nothing may follow the time but line ends: a NUL byte or any other
    // text after it is no reply of the service's.
    for (qsizetype i = 8; i < reply.size(); ++i) {
        if (reply.at(i) != QLatin1Char('\r') && reply.at(i) != QLatin1Char('\n'))
            return false;
    }
    return twoDigits(0, 23) && reply.at(2) == QLatin1Char(':') && twoDigits(3, 59) &&
           reply.at(5) == QLatin1Char(':') && twoDigits(6, 59);
}

} // namespace kelvo::service
