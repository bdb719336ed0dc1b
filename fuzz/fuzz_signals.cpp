// A signal reply as the service (or anything between it and us) may send it:
// splitting, the signal key of every system and the export lines.
#include "fuzzcheck.h"
#include "service/exportfile.h"
#include "service/protocol.h"

using namespace kelvo;
using kelvo::fuzz::require;

namespace {

void checkKeys(const QStringList& fields)
{
    require(!protocol::signalKey(fields, protocol::NoSystem));
    const struct {
        int system;
        QList<int> positions;
    } systems[] = {{protocol::DailySystem, {1}},
                   {protocol::HourlySystem, {1, 5}},
                   {protocol::BothSystems, {1, 5, 9}}};
    for (const auto& [system, positions] : systems) {
        const std::optional<QString> key = protocol::signalKey(fields, system);
        require(key.has_value() == (fields.size() >= positions.back()));
        if (!key)
            continue;
        QString expected;
        for (int position : positions)
            expected += fields.at(position - 1);
        require(*key == expected);
    }
}

void checkExportLines(const QStringList& fields, const QString& lastUpdate)
{
    for (int firstField : {1, 9}) {
        const std::optional<QByteArray> line =
            exporting::exportLine(fields, firstField, lastUpdate, TextEncoding::Utf8);
        require(line.has_value() == (fields.size() >= firstField + 3));
        if (!line)
            continue;
        require(line->endsWith("\r\n"));
        // The fields carry no commas of their own: four separators plus
        // whatever the time text brings.
        const QString text = QString::fromUtf8(*line);
        require(text.count(QLatin1Char(',')) == 4 + lastUpdate.count(QLatin1Char(',')));
        require(text.startsWith(fields.at(firstField - 1) + QLatin1Char(',')));
    }
}

// What the window takes in: a plain line of fields, which can never split an
// export line in two.
void checkCleaned(const QString& reply)
{
    const std::optional<QString> cleaned = protocol::cleanSignalReply(reply);
    if (!cleaned)
        return;
    require(!cleaned->isEmpty() && reply.startsWith(*cleaned));
    for (const QChar c : *cleaned)
        require(c != QLatin1Char('<') && (c.unicode() >= 0x20 || c == QLatin1Char('\t')));
    const QStringList fields = protocol::splitSignalReply(*cleaned);
    for (int firstField : {1, 9}) {
        if (const auto line = exporting::exportLine(fields, firstField, QStringLiteral("07:05:09"),
                                                    TextEncoding::Utf8))
            require(line->indexOf('\n') == line->size() - 1 &&
                    line->indexOf('\r') == line->size() - 2);
    }
}

void checkReply(const QString& reply)
{
    checkCleaned(reply);
    const QStringList fields = protocol::splitSignalReply(reply);
    require(fields.size() == reply.count(QLatin1Char(',')) + 1);
    require(fields.join(QLatin1Char(',')) == reply);
    checkKeys(fields);
    checkExportLines(fields, QStringLiteral("07:05:09"));
    checkExportLines(fields, fields.constLast());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::forBothDecodings(fuzz::bytesOf(data, size), checkReply);
    return 0;
}
