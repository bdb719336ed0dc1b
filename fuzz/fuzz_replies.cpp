// A reply as the service (or anything between it and us) may send it, taken
// as a signal reply: splitting, the signal key and the export lines; and as a
// time reply: the validity test and the "Last Update" text for every entry of
// the zone list.
#include "fuzzcheck.h"
#include "schedule/schedulerules.h"
#include "service/exportfile.h"
#include "service/protocol.h"

#include <QRegularExpression>

using namespace kelvo;
using kelvo::fuzz::require;

namespace {

void checkShown(const QString& shown)
{
    require(shown.size() <= 8 && !shown.contains(QLatin1Char(' ')));
}

void checkTimeReply(const QString& reply)
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

void checkReply(const QString& reply)
{
    checkTimeReply(reply);
    // Split at every comma, nothing lost or added.
    const QStringList fields = service::splitSignalReply(reply);
    require(fields.join(QLatin1Char(',')) == reply);
    require(!service::signalKey(fields, service::NoSystem));
    require(service::signalKey(fields, service::BothSystems).has_value() == (fields.size() >= 9));

    // What the window takes in is a plain line of fields, and its export
    // lines are single lines of four fields and the time.
    const std::optional<QString> cleaned = service::cleanSignalReply(reply);
    require((service::loginOutcome(reply, false) == service::LoginOutcome::Accepted) ==
            cleaned.has_value());
    if (!cleaned)
        return;
    require(!cleaned->isEmpty() && reply.startsWith(*cleaned));
    for (const QChar c : *cleaned)
        require(c != QLatin1Char('<') && (c.unicode() >= 0x20 || c == QLatin1Char('\t')));
    const QStringList clean = service::splitSignalReply(*cleaned);
    for (int firstField : {1, 9}) {
        const auto line =
            service::exportLine(clean, firstField, QStringLiteral("07:05:09"), TextEncoding::Utf8);
        require(line.has_value() == (clean.size() >= firstField + 3));
        if (line) {
            require(line->indexOf('\n') == line->size() - 1 &&
                    line->indexOf('\r') == line->size() - 2);
            require(line->count(',') == 4 && line->startsWith(clean.at(firstField - 1).toUtf8()));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::forBothDecodings(fuzz::bytesOf(data, size), checkReply);
    return 0;
}
