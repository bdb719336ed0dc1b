#include "demo/demoservice.h"

#include "service/protocol.h"

#include <QLatin1String>
#include <array>
#include <chrono>
#include <initializer_list>
#include <optional>
#include <string>

namespace kelvo::demo {

namespace {

constexpr std::array<DemoUser, 3> kUsers{{
    {"demo", "demo123", true, true},
    {"daily", "daily123", true, false},
    {"hourly", "hourly123", false, true},
}};

// The longest user name and password the client's login boxes take.
constexpr std::size_t kMaxCredentialLength = 12;

consteval bool usersFitLoginBoxes()
{
    for (const DemoUser& user : kUsers) {
        if (std::char_traits<char>::length(user.name) > kMaxCredentialLength ||
            std::char_traits<char>::length(user.password) > kMaxCredentialLength)
            return false;
    }
    return true;
}
static_assert(usersFitLoginBoxes(), "demo user names and passwords must fit the login boxes");

// Prices are whole ticks of 0.0001.
constexpr std::int64_t kBasePriceTicks = 10842;
constexpr std::int64_t kMaxStepTicks = 12;
// A price is the base plus the last kWalkLength steps, so it wanders but
// stays within kWalkLength * kMaxStepTicks of the base, far above zero.
constexpr int kWalkLength = 48;
static_assert(kBasePriceTicks > kWalkLength * kMaxStepTicks);

// A position is set by the latest "decision" period at or before the period
// asked for; half the periods are decisions. The search stops after this many
// periods, so a (vanishingly unlikely) long gap simply counts as a decision.
constexpr int kMaxDecisionGap = 64;

enum Stream : int { DecisionStream = 0, PositionStream = 1, StepStream = 2 };

// splitmix64: a tiny generator whose output is fixed by its definition, not by
// the standard library at hand.
constexpr std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

QString twoDigits(long long value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

struct UtcTime {
    QString date;           // YYYY-MM-DD
    QString hoursMinutes;   // HH:MM
    QString hoursMinSecond; // HH:MM:SS
};

UtcTime utcTime(std::int64_t secondsSinceEpoch)
{
    using namespace std::chrono;
    const sys_seconds moment{seconds{secondsSinceEpoch}};
    const sys_days day = floor<days>(moment);
    const year_month_day ymd{day};
    const hh_mm_ss clock{moment - day};
    UtcTime result;
    result.date = QStringLiteral("%1-%2-%3")
                      .arg(static_cast<int>(ymd.year()), 4, 10, QLatin1Char('0'))
                      .arg(twoDigits(static_cast<unsigned>(ymd.month())))
                      .arg(twoDigits(static_cast<unsigned>(ymd.day())));
    result.hoursMinutes =
        twoDigits(clock.hours().count()) + QLatin1Char(':') + twoDigits(clock.minutes().count());
    result.hoursMinSecond =
        result.hoursMinutes + QLatin1Char(':') + twoDigits(clock.seconds().count());
    return result;
}

QString formatPrice(std::int64_t ticks)
{
    return QStringLiteral("%1.%2").arg(ticks / 10000).arg(ticks % 10000, 4, 10, QLatin1Char('0'));
}

std::optional<DemoUser> findUser(const QString& name)
{
    for (const DemoUser& user : kUsers) {
        if (name == QString::fromUtf8(user.name))
            return user;
    }
    return std::nullopt;
}

// The value of a query item, or nothing when it is missing.
std::optional<QString> valueOf(const QueryItems& query, QLatin1String name)
{
    for (const auto& [key, value] : query) {
        if (key == name)
            return value;
    }
    return std::nullopt;
}

// True when the query has exactly these names, each once.
bool hasExactly(const QueryItems& query, std::initializer_list<QLatin1String> names)
{
    if (query.size() != names.size())
        return false;
    for (QLatin1String name : names) {
        int count = 0;
        for (const auto& item : query)
            count += item.first == name ? 1 : 0;
        if (count != 1)
            return false;
    }
    return true;
}

Reply refused(const QString& reason)
{
    return {QString(), QStringLiteral("refused (%1)").arg(reason)};
}

} // namespace

std::span<const DemoUser> demoUsers()
{
    return kUsers;
}

SignalService::SignalService(std::uint64_t seed, std::int64_t periodSeconds)
    : m_seed(seed), m_period(periodSeconds > 0 ? periodSeconds : 1)
{
}

std::int64_t SignalService::periodIndex(std::int64_t now) const
{
    // Rounds towards minus infinity, also before 1970.
    std::int64_t index = now / m_period;
    if (now % m_period < 0)
        --index;
    return index;
}

std::uint64_t SignalService::draw(SignalRow row, int stream, std::int64_t period) const
{
    std::uint64_t x = mix(m_seed);
    x = mix(x ^ static_cast<std::uint64_t>(static_cast<int>(row) * 16 + stream));
    return mix(x ^ static_cast<std::uint64_t>(period));
}

QString SignalService::positionAt(SignalRow row, std::int64_t period) const
{
    std::int64_t decision = period;
    for (int back = 0; back < kMaxDecisionGap; ++back, --decision) {
        if ((draw(row, DecisionStream, decision) >> 63) == 0)
            break;
    }
    // Long and Short two fifths each, Flat one fifth. A decision keeps the old
    // position with chance 9/25, so a row changes in about a third of the
    // periods.
    switch (draw(row, PositionStream, decision) % 5) {
    case 0:
    case 1:
        return QStringLiteral("Long");
    case 2:
    case 3:
        return QStringLiteral("Short");
    default:
        return QStringLiteral("Flat");
    }
}

std::int64_t SignalService::priceTicksAt(SignalRow row, std::int64_t period) const
{
    std::int64_t ticks = kBasePriceTicks;
    for (int back = 0; back < kWalkLength; ++back) {
        const auto step = static_cast<std::int64_t>(draw(row, StepStream, period - back) %
                                                    (2 * kMaxStepTicks + 1));
        ticks += step - kMaxStepTicks;
    }
    return ticks;
}

Signal SignalService::signal(SignalRow row, std::int64_t period) const
{
    const UtcTime start = utcTime(period * m_period);
    return {positionAt(row, period), start.date, start.hoursMinutes,
            formatPrice(priceTicksAt(row, period))};
}

Reply SignalService::timeReply(std::int64_t now) const
{
    const QString time = utcTime(periodIndex(now) * m_period).hoursMinSecond;
    return {time, QStringLiteral("time %1").arg(time)};
}

Reply SignalService::signalReply(const QString& userName, const QString& password,
                                 const QString& system, std::int64_t now) const
{
    int code = 0;
    if (system == QLatin1String("1"))
        code = service::DailySystem;
    else if (system == QLatin1String("2"))
        code = service::HourlySystem;
    else if (system == QLatin1String("3"))
        code = service::BothSystems;
    else
        return refused(QStringLiteral("bad s"));

    const std::optional<DemoUser> user = findUser(userName);
    if (!user)
        return refused(QStringLiteral("unknown user"));
    if (password != service::encodePassword(QString::fromUtf8(user->password)))
        return refused(QStringLiteral("wrong password for %1").arg(userName));
    const bool needsDaily = code != service::HourlySystem;
    const bool needsHourly = code != service::DailySystem;
    if ((needsDaily && !user->daily) || (needsHourly && !user->hourly))
        return refused(QStringLiteral("%1 has no access to s=%2").arg(userName).arg(code));

    std::vector<SignalRow> rows;
    if (needsHourly)
        rows = {SignalRow::HourlyRegular, SignalRow::HourlyFiltered};
    if (needsDaily)
        rows.push_back(SignalRow::Daily);

    const std::int64_t period = periodIndex(now);
    QStringList fields;
    for (SignalRow row : rows)
        fields += signal(row, period).fields();
    return {
        fields.join(QLatin1Char(',')),
        QStringLiteral("signals u=%1 s=%2 (%3 fields)").arg(userName).arg(code).arg(fields.size())};
}

Reply SignalService::handle(const QString& path, const QueryItems& query, std::int64_t now) const
{
    if (path != QLatin1String(service::kScriptPath))
        return refused(QStringLiteral("unknown path"));

    if (hasExactly(query, {QLatin1String("a")})) {
        if (valueOf(query, QLatin1String("a")) != QLatin1String("1"))
            return refused(QStringLiteral("bad a"));
        return timeReply(now);
    }
    if (hasExactly(query, {QLatin1String("u"), QLatin1String("p"), QLatin1String("s")})) {
        // A login and a signal request look alike; the login only needs a
        // non-empty reply, and the signal rows are one.
        return signalReply(*valueOf(query, QLatin1String("u")), *valueOf(query, QLatin1String("p")),
                           *valueOf(query, QLatin1String("s")), now);
    }
    return refused(QStringLiteral("bad query"));
}

ParsedOptions parseOptions(const QStringList& arguments)
{
    ParsedOptions parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& name = arguments.at(i);
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            parsed.help = true;
            continue;
        }
        if (name == QLatin1String("--manual")) {
            parsed.options.manual = true;
            continue;
        }
        if (name != QLatin1String("--port") && name != QLatin1String("--period") &&
            name != QLatin1String("--seed")) {
            parsed.error = QStringLiteral("unknown option %1").arg(name);
            return parsed;
        }
        if (i + 1 >= arguments.size()) {
            parsed.error = QStringLiteral("%1 needs a value").arg(name);
            return parsed;
        }
        const QString value = arguments.at(++i);
        bool digitsOnly = !value.isEmpty();
        for (QChar c : value)
            digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        bool ok = digitsOnly;
        if (name == QLatin1String("--seed")) {
            parsed.options.seed = value.toULongLong(&ok);
            if (!digitsOnly || !ok) {
                parsed.error = QStringLiteral("--seed takes a whole number, not %1").arg(value);
                return parsed;
            }
        } else if (name == QLatin1String("--port")) {
            const qlonglong port = value.toLongLong(&ok);
            if (!digitsOnly || !ok || port > 65535) {
                parsed.error = QStringLiteral("--port takes 0 to 65535, not %1").arg(value);
                return parsed;
            }
            parsed.options.port = static_cast<int>(port);
        } else {
            const qlonglong period = value.toLongLong(&ok);
            if (!digitsOnly || !ok || period < 1 || period > 86400) {
                parsed.error =
                    QStringLiteral("--period takes 1 to 86400 seconds, not %1").arg(value);
                return parsed;
            }
            parsed.options.period = period;
        }
    }
    return parsed;
}

QString usageText()
{
    const Options defaults;
    return QStringLiteral(
               "Usage: kelvo-demo-service [--port N] [--period SECONDS] [--seed N] [--manual]\n"
               "A local stand-in for the signal service, on 127.0.0.1 only.\n"
               "  --port N          TCP port, 0 for any free one (default %1)\n"
               "  --period SECONDS  how often the data changes, 1 to 86400 (default %2)\n"
               "  --seed N          seed of the made-up signals (default %3)\n"
               "  --manual          the data stands still and moves on by one period\n"
               "                    at each SIGUSR1; log lines carry the monotonic\n"
               "                    clock in nanoseconds\n")
        .arg(defaults.port)
        .arg(defaults.period)
        .arg(defaults.seed);
}

} // namespace kelvo::demo
