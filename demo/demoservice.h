#pragma once

// The logic of the local demo signal service: its users, its replies and the
// signals it makes up. Nothing here reads the clock or touches the network;
// the caller passes the current time in seconds since 1970-01-01 UTC, so every
// reply is a plain function of the request and that time.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace kelvo::demo {

// One account of the demo service. The password is kept in clear; a request
// carries its encoded form, which is what gets compared.
struct DemoUser {
    const char* name;
    const char* password;
    bool daily;
    bool hourly;
};

// The built-in accounts, in the order the README lists them.
std::span<const DemoUser> demoUsers();

// The signal rows the service knows, in the order the replies carry them.
enum class SignalRow : int { HourlyRegular = 0, HourlyFiltered = 1, Daily = 2 };

struct Signal {
    QString position;   // "Long", "Short" or "Flat"
    QString date;       // "YYYY-MM-DD", UTC
    QString time;       // "HH:MM", UTC
    QString entryPrice; // four decimals, e.g. "1.0842"

    QStringList fields() const { return {position, date, time, entryPrice}; }
    bool operator==(const Signal&) const = default;
};

// The decoded query of a request, as name and value pairs in any order.
using QueryItems = std::vector<std::pair<QString, QString>>;

struct Reply {
    QString body;    // empty when the request is refused or not understood
    QString outcome; // one short phrase for the request log
};

class SignalService {
public:
    // periodSeconds: how often the data changes, at least 1.
    SignalService(std::uint64_t seed, std::int64_t periodSeconds);

    std::int64_t periodSeconds() const { return m_period; }

    // The number of the period that holds the moment now (seconds since the
    // epoch); the data changes when this number does.
    std::int64_t periodIndex(std::int64_t now) const;

    // The signal of a row during a period. The same arguments always give the
    // same signal, on every platform.
    Signal signal(SignalRow row, std::int64_t period) const;

    // The reply to a GET of path with the given query at the moment now.
    Reply handle(const QString& path, const QueryItems& query, std::int64_t now) const;

private:
    std::uint64_t draw(SignalRow row, int stream, std::int64_t period) const;
    QString positionAt(SignalRow row, std::int64_t period) const;
    std::int64_t priceTicksAt(SignalRow row, std::int64_t period) const;

    Reply timeReply(std::int64_t now) const;
    Reply signalReply(const QString& user, const QString& password, const QString& system,
                      std::int64_t now) const;

    std::uint64_t m_seed;
    std::int64_t m_period;
};

// Command-line options of the demo service.
struct Options {
    int port = 8421;            // 0 lets the system pick a free port
    std::int64_t period = 3600; // new data at the top of each hour, as the real service
    std::uint64_t seed = 20261206;
    // The data stands still and moves on by one period at each SIGUSR1, so
    // a benchmark or a demonstration decides when the signals change.
    bool manual = false;
};

struct ParsedOptions {
    Options options;
    bool help = false;
    QString error; // not empty when the command line is not usable
};

// Reads the arguments that follow the program name.
ParsedOptions parseOptions(const QStringList& arguments);

QString usageText();

} // namespace kelvo::demo
