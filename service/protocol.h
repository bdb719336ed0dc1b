#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

// The signal service's requests and replies. Everything here is a plain
// function of its arguments.
namespace kelvo::service {

inline constexpr char kScriptPath[] = "/software/ProgSignals.php";

// Trading-system codes, as the service knows them.
enum SystemCode : int { NoSystem = 0, DailySystem = 1, HourlySystem = 2, BothSystems = 3 };

// The password as it travels: last character, "$", third, second and first
// character; a position beyond the end contributes nothing ("abc" gives
// "c$cba"). The clear password never leaves the machine.
QString encodePassword(const QString& password);

// The code for a text of the system box: 1 "Daily System", 2 "Hourly System",
// 3 "Both Systems"; 0 for any other text.
int systemCodeForName(const QString& name);

// The "s" sent with a login: "Both Systems" logs in as the daily system.
int loginSystemParameter(int system);

// A query value with every character but the unreserved ones of RFC 3986
// percent-encoded, so that the service decodes exactly the text typed.
QByteArray encodeQueryValue(const QString& value);

// The addresses of the three requests. serviceUrl is scheme, host and port.
// A login with system 0 carries no "s" at all.
QUrl loginUrl(const QUrl& serviceUrl, const QString& user, const QString& encodedPassword,
              int system);
QUrl timeUrl(const QUrl& serviceUrl);
QUrl signalsUrl(const QUrl& serviceUrl, const QString& user, const QString& encodedPassword,
                int system);

// The fields of a signal reply: split at every ",", nothing trimmed, a line
// break at the end staying part of the last field.
QStringList splitSignalReply(const QString& reply);

// A signal reply as the window takes it in. A line break at the very end is
// dropped, since it would otherwise stay in the last Entry Price and break the
// export line in two. Anything that is not a plain line of fields (markup of an
// error page, control characters, line breaks inside) is no reply at all.
std::optional<QString> cleanSignalReply(const QString& reply);

// What a login request came to. Any reply that would pass as a signal reply
// accepts the login; an empty one (a line break at most) is the service's
// refusal. A failed transfer means the service was not reached, and so does a
// page of markup or control characters, which a captive portal or a proxy
// answers in the service's place.
enum class LoginOutcome { Accepted, Refused, Unreachable };
LoginOutcome loginOutcome(const QString& reply, bool transferFailed);

// The field numbered from 1, if the reply has it.
std::optional<QString> field(const QStringList& fields, int number);

// The signal key, the Position fields joined (field 1; 1 and 5; 1, 5 and 9 for
// systems 1, 2 and 3). No key at all when a Position field the system needs is
// missing, or for a system code outside 1 to 3.
std::optional<QString> signalKey(const QStringList& fields, int system);

// A time reply is usable when it is a valid time of day "HH:MM:SS" (hour 00 to
// 23, minutes and seconds 00 to 59), followed by nothing but line ends.
// Anything else, an error page from a proxy or trailing NUL bytes say, counts
// as a failed request.
bool isValidTimeReply(const QString& reply);

} // namespace kelvo::service
