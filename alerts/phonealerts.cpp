#include "alerts/phonealerts.h"

#include "platform/clock.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace kelvo::alerts {
namespace {

enum class Service { Ntfy, Telegram };

QString serviceName(Service service)
{
    return service == Service::Ntfy ? QStringLiteral("ntfy") : QStringLiteral("Telegram");
}

// A chat ID: a user's, or a group's with its minus sign.
bool isChatId(const QString& text)
{
    static const QRegularExpression id(QStringLiteral("^-?[0-9]{1,20}$"));
    return id.match(text).hasMatch();
}

// A bot token as Telegram hands it out: it becomes part of a URL's path.
bool isBotToken(const QString& text)
{
    static const QRegularExpression token(QStringLiteral("^[0-9]+:[A-Za-z0-9_-]+$"));
    return token.match(text).hasMatch();
}

// Printable ASCII alone: it goes into a header.
bool isHeaderSafe(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return true;
}

} // namespace

QString toSecret(const AlertTargets& targets)
{
    return QStringList{targets.ntfyUrl, targets.ntfyToken, targets.telegramToken,
                       targets.telegramChat}
        .join(QLatin1Char('\n'));
}

std::optional<AlertTargets> fromSecret(const QString& secret)
{
    const QStringList lines = secret.split(QLatin1Char('\n'));
    if (lines.size() != 4)
        return std::nullopt;
    return AlertTargets{lines.at(0), lines.at(1), lines.at(2), lines.at(3)};
}

QString storeAccount(const QString& folderAccount)
{
    return folderAccount + QStringLiteral(" (phone alerts)");
}

QString folderListAccount()
{
    return QStringLiteral("Phone alert folders");
}

TargetsCheck checkTargets(const AlertTargets& targets)
{
    TargetsCheck check;
    if (targets.ntfyOn()) {
        const QUrl url(targets.ntfyUrl, QUrl::StrictMode);
        const QString scheme = url.scheme();
        if (!url.isValid() || url.host().isEmpty() ||
            (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
            check.problems.append(QStringLiteral(
                "The ntfy topic URL must be an address beginning with http:// or https://."));
        else if (scheme == QLatin1String("http"))
            check.notes.append(QStringLiteral(
                "The ntfy address is plain http: messages and token travel unencrypted."));
    } else if (!targets.ntfyToken.isEmpty()) {
        check.problems.append(QStringLiteral("An ntfy access token needs a topic URL."));
    }
    if (!isHeaderSafe(targets.ntfyToken))
        check.problems.append(
            QStringLiteral("The ntfy access token may hold only letters, digits and signs."));
    if (targets.telegramToken.isEmpty() != targets.telegramChat.isEmpty())
        check.problems.append(
            QStringLiteral("A Telegram message needs both the bot token and the chat ID."));
    if (!targets.telegramToken.isEmpty() && !isBotToken(targets.telegramToken))
        check.problems.append(
            QStringLiteral("The Telegram bot token looks like 123456789:ABCdef..., as BotFather "
                           "gives it."));
    if (!targets.telegramChat.isEmpty() && !isChatId(targets.telegramChat))
        check.problems.append(QStringLiteral("The Telegram chat ID must be a number."));
    return check;
}

QString changeLine(const service::JournalEntry& change, const QString& when)
{
    QString line = change.system + QStringLiteral(": ");
    if (!change.previousPosition.isEmpty())
        line += change.previousPosition + QStringLiteral(" -> ");
    line += change.position;
    if (!change.entryPrice.isEmpty())
        line += QStringLiteral(" at ") + change.entryPrice;
    return line + QStringLiteral(" (%1)").arg(when);
}

QStringList changeLines(const service::SignalRows& previous, const service::SignalRows& current)
{
    QStringList lines;
    for (const service::JournalEntry& change : service::changeEntries(previous, current))
        lines.append(changeLine(change, change.signalDate + QLatin1Char(' ') + change.signalTime));
    return lines;
}

Message changeMessage(const QStringList& lines)
{
    return {QStringLiteral("Positions changed"), lines.join(QLatin1Char('\n')), true,
            QStringLiteral("chart_with_upwards_trend")};
}

Message silenceMessage(const QDateTime& since)
{
    return {QStringLiteral("Signal service silent"),
            QStringLiteral("No answer from the signal service since %1. The export files are "
                           "not being updated.")
                .arg(since.toString(QStringLiteral("HH:mm"))),
            false, QStringLiteral("warning")};
}

Message answeringMessage(const QDateTime& since, const QDateTime& until)
{
    return {
        QStringLiteral("Signal service answers again"),
        QStringLiteral("The signal service answers again (silent %1-%2).")
            .arg(since.toString(QStringLiteral("HH:mm")), until.toString(QStringLiteral("HH:mm"))),
        false, QStringLiteral("white_check_mark")};
}

Message loginRefusedMessage()
{
    return {QStringLiteral("Login refused"),
            QStringLiteral("The signal service refused the kept login. Polling has stopped "
                           "until someone logs in."),
            false, QStringLiteral("no_entry")};
}

Message testMessage()
{
    return {QStringLiteral("Test"), QStringLiteral("A test message: phone alerts reach you here."),
            false, QStringLiteral("bell")};
}

QString titlePrefix(const QString& folderName, bool severalFolders)
{
    if (!severalFolders || folderName.isEmpty())
        return QStringLiteral("Kelvo-Rozevid");
    return QStringLiteral("Kelvo-Rozevid (%1)").arg(folderName);
}

QByteArray headerText(const QString& text)
{
    if (isHeaderSafe(text))
        return text.toLatin1();
    return "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
}

HttpRequest ntfyRequest(const AlertTargets& targets, const Message& message)
{
    HttpRequest request(QUrl(targets.ntfyUrl), "POST");
    request.headers.append({"Title", headerText(message.title)});
    request.headers.append({"Priority", QByteArray(message.urgent ? "high" : "default")});
    request.headers.append({"Tags", headerText(message.tags)});
    request.headers.append({"Content-Type", QByteArray("text/plain; charset=utf-8")});
    if (!targets.ntfyToken.isEmpty())
        request.headers.append(
            {"Authorization", targets.ntfyToken.contains(QLatin1Char(':'))
                                  ? "Basic " + targets.ntfyToken.toLatin1().toBase64()
                                  : "Bearer " + targets.ntfyToken.toLatin1()});
    request.body = message.text.toUtf8();
    request.wantedHeaders = {"Retry-After"};
    return request;
}

HttpRequest telegramRequest(const QUrl& api, const AlertTargets& targets, const Message& message)
{
    QUrl url = api;
    url.setPath(api.path() + QStringLiteral("/bot%1/sendMessage").arg(targets.telegramToken));
    HttpRequest request(url, "POST");
    request.headers.append({"Content-Type", QByteArray("application/json")});
    request.body =
        QJsonDocument(
            QJsonObject{{QStringLiteral("chat_id"), targets.telegramChat.toLongLong()},
                        {QStringLiteral("text"), message.title + QLatin1Char('\n') + message.text}})
            .toJson(QJsonDocument::Compact);
    request.wantedHeaders = {"Retry-After"};
    return request;
}

std::optional<int> retryDelay(int failedTries, const HttpReply& reply)
{
    if (reply.failure == HttpReply::Failure::HttpStatus && reply.status == 429) {
        bool number = false;
        int seconds = reply.headers.value("Retry-After").trimmed().toInt(&number);
        if (!number)
            seconds = QJsonDocument::fromJson(reply.body)
                          .object()
                          .value(QStringLiteral("parameters"))
                          .toObject()
                          .value(QStringLiteral("retry_after"))
                          .toInt(30);
        return std::clamp(seconds, 1, 3600);
    }
    if (reply.failure == HttpReply::Failure::HttpStatus && reply.status < 500)
        return std::nullopt;
    constexpr int kDelays[] = {30, 120, 600};
    if (failedTries < 1 || failedTries > int(std::size(kDelays)))
        return std::nullopt;
    return kDelays[failedTries - 1];
}

struct PhoneAlerts::Channel {
    Channel(Service service, std::unique_ptr<HttpTransfer> transfer)
        : service(service), transfer(std::move(transfer))
    {
    }
    Service service;
    std::unique_ptr<HttpTransfer> transfer;
    std::deque<Message> waiting;
    int failedTries = 0;
    std::optional<QDateTime> nextTry;
};

PhoneAlerts::PhoneAlerts(std::shared_ptr<Clock> clock,
                         std::function<std::unique_ptr<HttpTransfer>()> makeTransfer,
                         QObject* parent)
    : QObject(parent), m_clock(std::move(clock)), m_makeTransfer(std::move(makeTransfer))
{
}

PhoneAlerts::~PhoneAlerts() = default;

void PhoneAlerts::setTargets(const AlertTargets& targets)
{
    m_targets = targets;
    const auto keep = [&](Service service, bool on) {
        const auto found = std::find_if(m_channels.begin(), m_channels.end(),
                                        [&](const auto& c) { return c->service == service; });
        if (found != m_channels.end() && !on)
            m_channels.erase(found);
        else if (found == m_channels.end() && on)
            m_channels.push_back(std::make_unique<Channel>(service, m_makeTransfer()));
    };
    keep(Service::Ntfy, targets.ntfyOn());
    keep(Service::Telegram, targets.telegramOn());
}

Message PhoneAlerts::titled(Message message) const
{
    message.title = m_prefix + QStringLiteral(": ") + message.title;
    return message;
}

void PhoneAlerts::send(const Message& message)
{
    for (const auto& channel : m_channels) {
        if (int(channel->waiting.size()) >= kMaxWaiting) {
            // The oldest goes, unless it is the one under way.
            const auto oldest =
                channel->waiting.begin() + (channel->transfer->stillExecuting() ? 1 : 0);
            emit dropped(serviceName(channel->service), oldest->text,
                         QStringLiteral("more than %1 messages waiting").arg(kMaxWaiting));
            channel->waiting.erase(oldest);
        }
        channel->waiting.push_back(titled(message));
        pump(*channel);
    }
}

void PhoneAlerts::sendTest(const AlertTargets& targets)
{
    m_tests.clear();
    const Message message = titled(testMessage());
    for (const auto& [service, on] :
         {std::pair{Service::Ntfy, targets.ntfyOn()}, {Service::Telegram, targets.telegramOn()}}) {
        if (!on)
            continue;
        m_tests.push_back(std::make_unique<Channel>(service, m_makeTransfer()));
        Channel& test = *m_tests.back();
        test.transfer->send(request(test, targets, message), [this, &test](const HttpReply& r) {
            const QString result =
                r.failed()
                    ? QStringLiteral("%1: not sent, %2").arg(serviceName(test.service), r.error)
                    : QStringLiteral("%1: sent, check your phone.").arg(serviceName(test.service));
            emit testFinished(result);
        });
    }
    if (m_tests.empty())
        emit testFinished(QStringLiteral("Nothing to test: no service is set."));
}

void PhoneAlerts::tick(const QDateTime&)
{
    for (const auto& channel : m_channels)
        pump(*channel);
}

bool PhoneAlerts::busy() const
{
    const auto executing = [](const auto& c) { return c->transfer->stillExecuting(); };
    return std::any_of(m_channels.begin(), m_channels.end(), executing) ||
           std::any_of(m_tests.begin(), m_tests.end(), executing);
}

HttpRequest PhoneAlerts::request(const Channel& channel, const AlertTargets& targets,
                                 const Message& message) const
{
    return channel.service == Service::Ntfy ? ntfyRequest(targets, message)
                                            : telegramRequest(m_telegramApi, targets, message);
}

void PhoneAlerts::pump(Channel& channel)
{
    if (channel.waiting.empty() || channel.transfer->stillExecuting() ||
        (channel.nextTry && m_clock->now() < *channel.nextTry))
        return;
    channel.transfer->send(request(channel, m_targets, channel.waiting.front()),
                           [this, &channel](const HttpReply& reply) { finished(channel, reply); });
}

void PhoneAlerts::finished(Channel& channel, const HttpReply& reply)
{
    const QString service = serviceName(channel.service);
    if (!reply.failed()) {
        channel.waiting.pop_front();
        channel.failedTries = 0;
        channel.nextTry.reset();
        emit delivered(service);
    } else if (const auto delay = retryDelay(++channel.failedTries, reply)) {
        channel.nextTry = m_clock->now().addSecs(*delay);
        emit sendFailed(service,
                        QStringLiteral("%1 (tried again in %2 s)").arg(reply.error).arg(*delay));
        return;
    } else {
        emit dropped(service, channel.waiting.front().text, reply.error);
        channel.waiting.pop_front();
        channel.failedTries = 0;
        channel.nextTry.reset();
    }
    pump(channel);
}

} // namespace kelvo::alerts
