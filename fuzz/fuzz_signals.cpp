// A signal reply as the service (or anything between it and us) may send it:
// splitting, the signal key and the export lines.
#include "fuzzcheck.h"
#include "service/exportfile.h"
#include "service/protocol.h"

using namespace kelvo;
using kelvo::fuzz::require;

namespace {

void checkReply(const QString& reply)
{
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
