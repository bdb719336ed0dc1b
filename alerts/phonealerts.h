#pragma once

#include "platform/httptransfer.h"
#include "service/journal.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace kelvo {
class Clock;
}

// Messages to the trader's phone through ntfy and a Telegram bot: the rules
// as plain functions, and the sender that queues and retries them.
namespace kelvo::alerts {

// Where messages go. ntfy: a topic URL and, optionally, an access token or
// "user:password". Telegram: a bot token and a chat ID, both or neither.
struct AlertTargets {
    QString ntfyUrl;
    QString ntfyToken;
    QString telegramToken;
    QString telegramChat;

    bool ntfyOn() const { return !ntfyUrl.isEmpty(); }
    bool telegramOn() const { return !telegramToken.isEmpty() && !telegramChat.isEmpty(); }
    bool any() const { return ntfyOn() || telegramOn(); }
    bool operator==(const AlertTargets&) const = default;
};

// The password store's secret: the four on a line each.
QString toSecret(const AlertTargets& targets);
std::optional<AlertTargets> fromSecret(const QString& secret);
// The store's account of a start folder's alerts, beside its kept login's.
QString storeAccount(const QString& folderAccount);
// The account that lists the start folders with alerts, a line each.
QString folderListAccount();

// What the dialog says of targets: problems that keep them from being kept,
// and notes that do not.
struct TargetsCheck {
    QStringList problems;
    QStringList notes;
};
TargetsCheck checkTargets(const AlertTargets& targets);

// One message: its title, its text, and whether the phone should ring.
struct Message {
    QString title;
    QString text;
    bool urgent = false;
    QString tags; // ntfy's tags: emoji short codes
};

// A change of a system row in a line, as
// "Daily System: Long -> Short at 1.0801 (2026-12-07 17:00)", without the
// previous position or the price where they are not known. when: the
// signal's date and time.
QString changeLine(const service::JournalEntry& change, const QString& when);
// A line per system row whose position changed.
QStringList changeLines(const service::SignalRows& previous, const service::SignalRows& current);
Message changeMessage(const QStringList& lines);
Message silenceMessage(const QDateTime& since);
Message answeringMessage(const QDateTime& since, const QDateTime& until);
Message loginRefusedMessage();
Message testMessage();
// The title begins with the program's name and, where more than one start
// folder has alerts, the folder's.
QString titlePrefix(const QString& folderName, bool severalFolders);

// A header's text as ASCII: RFC 2047's encoded word where it is not.
QByteArray headerText(const QString& text);
HttpRequest ntfyRequest(const AlertTargets& targets, const Message& message);
HttpRequest telegramRequest(const QUrl& api, const AlertTargets& targets, const Message& message);

// After the failedTries-th failed try of a message: how many seconds to wait
// before the next, or nothing where it is given up. Out of reach or a 5xx:
// 30 s, 2 min, 10 min; a 429: what the service asks; any other answer: none.
std::optional<int> retryDelay(int failedTries, const HttpReply& reply);
// Messages that wait for one service, at most; the oldest give way.
inline constexpr int kMaxWaiting = 50;

inline constexpr char kTelegramApi[] = "https://api.telegram.org";

// Sends each message to every service that is set, one at a time and in
// order per service, on transfers of its own: nothing waits for it. A
// message a service took (2xx) is never sent again.
class PhoneAlerts : public QObject {
    Q_OBJECT
public:
    PhoneAlerts(std::shared_ptr<Clock> clock,
                std::function<std::unique_ptr<HttpTransfer>()> makeTransfer,
                QObject* parent = nullptr);
    ~PhoneAlerts() override;

    void setTargets(const AlertTargets& targets);
    const AlertTargets& targets() const { return m_targets; }
    void setTelegramApi(const QUrl& api) { m_telegramApi = api; }
    void setTitlePrefix(const QString& prefix) { m_prefix = prefix; }
    QString titlePrefix() const { return m_prefix; }

    // The message goes to each service set, behind those that wait.
    void send(const Message& message);
    // A message to the targets given, at once and once, for the dialog.
    void sendTest(const AlertTargets& targets);
    // Sends what waits and whose time has come.
    void tick(const QDateTime& now);
    bool busy() const;

signals:
    void delivered(const QString& service);
    // A try failed and the message waits for the next: why, in a line.
    void sendFailed(const QString& service, const QString& why);
    // A message given up: no more tries, or too many waiting.
    void dropped(const QString& service, const QString& text, const QString& why);
    // What the test message did, a line per service.
    void testFinished(const QString& report);

private:
    struct Channel;
    // The message with the program's (and folder's) name before its title.
    Message titled(Message message) const;
    void pump(Channel& channel);
    void finished(Channel& channel, const HttpReply& reply);
    HttpRequest request(const Channel& channel, const AlertTargets& targets,
                        const Message& message) const;

    std::shared_ptr<Clock> m_clock;
    std::function<std::unique_ptr<HttpTransfer>()> m_makeTransfer;
    AlertTargets m_targets;
    QUrl m_telegramApi{QString::fromLatin1(kTelegramApi)};
    QString m_prefix = QStringLiteral("Kelvo-Rozevid");
    std::deque<std::unique_ptr<Channel>> m_channels;
    std::deque<std::unique_ptr<Channel>> m_tests;
};

} // namespace kelvo::alerts
