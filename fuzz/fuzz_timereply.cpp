// A time reply as the service (or a proxy's error page) may send it: the
// validity test and the "Last Update" text for every entry of the zone list.
#include "fuzzcheck.h"
#include "schedule/schedulerules.h"
#include "service/protocol.h"

#include <QRegularExpression>

using namespace kelvo;
using kelvo::fuzz::require;

namespace {

// The hour, minutes and seconds of a text starting with a valid "HH:MM:SS".
struct Clock {
    int hour = -1;
    int minute = -1;
    int second = -1;
};
Clock clockAtStart(const QString& text)
{
    static const QRegularExpression time(
        QStringLiteral("^([01][0-9]|2[0-3]):([0-5][0-9]):([0-5][0-9])"));
    const QRegularExpressionMatch match = time.match(text);
    if (!match.hasMatch())
        return {};
    return {match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt()};
}

void checkShown(const QString& shown)
{
    require(shown.size() <= 8);
    require(!shown.contains(QLatin1Char(' ')));
}

void checkReply(const QString& reply)
{
    const bool valid = protocol::isValidTimeReply(reply);
    const Clock service = clockAtStart(reply);
    require(valid == (service.hour >= 0));

    for (int offset = -12; offset <= 12; ++offset) {
        const QString entry = offset ? QString::asprintf("%+03d", offset) : QStringLiteral("+0");
        const QString shown = schedule::convertToZone(reply, entry);
        checkShown(shown);
        if (!valid)
            continue;
        const Clock local = clockAtStart(shown);
        require(shown.size() == 8 && local.hour >= 0);
        require(local.minute == service.minute && local.second == service.second);
        require(local.hour == (service.hour + entry.toInt() + 24) % 24);
    }
    // Whatever the zone box holds, the text still fits the box.
    checkShown(schedule::convertToZone(reply, reply));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::forBothDecodings(fuzz::bytesOf(data, size), checkReply);
    return 0;
}
