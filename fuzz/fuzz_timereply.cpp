// A time reply as the service (or a proxy's error page) may send it: the
// validity test and the "Last Update" text for every entry of the zone list.
#include "fuzzcheck.h"
#include "schedule/schedulerules.h"
#include "service/protocol.h"

#include <QRegularExpression>

using namespace kelvo;
using kelvo::fuzz::require;

namespace {

void checkShown(const QString& shown)
{
    require(shown.size() <= 8 && !shown.contains(QLatin1Char(' ')));
}

void checkReply(const QString& reply)
{
    static const QRegularExpression time(
        QStringLiteral("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]"));
    static const QRegularExpression whole(
        QStringLiteral("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9][\\r\\n]*\\z"));
    const bool valid = service::isValidTimeReply(reply);
    require(valid == whole.match(reply).hasMatch());
    for (int offset = -12; offset <= 12; ++offset) {
        const QString entry = offset ? QString::asprintf("%+03d", offset) : QStringLiteral("+0");
        const QString shown = schedule::convertToZone(reply, entry);
        checkShown(shown);
        // A valid time moves by whole hours and stays a valid time.
        if (valid) {
            require(time.match(shown).hasMatch() && shown.size() == 8);
            require(shown.mid(2) == reply.mid(2, 6));
            require(shown.left(2).toInt() == (reply.left(2).toInt() + offset + 24) % 24);
        }
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
