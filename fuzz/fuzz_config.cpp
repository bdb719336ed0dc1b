// Config.dat as it may come from disk: any bytes. Loading must not crash and
// must agree with the line parsers; whatever it accepts must survive being
// written back and read again.
#include "config/configfile.h"
#include "fuzzcheck.h"

using namespace kelvo::config;
using kelvo::fuzz::require;

namespace {

// Stands in for the file system: the answer depends on the text alone.
bool evenLengthExists(const QString& folder)
{
    return folder.size() % 2 == 0;
}

// A folder and an entry the loader accepted, written out and loaded again.
void checkRoundTrip(const QString& folder, const QString& entry)
{
    const QByteArray bytes = configContent(folder, entry);
    require(bytes.endsWith("\r\n"));
    const ConfigLines lines = readConfigLines(bytes);
    require(parsePathLine(lines.path) == folder);
    require(parseZoneLine(lines.zone) == entry);
    const LoadOutcome again = evaluateConfig(bytes, [](const QString&) { return true; });
    require(again.message == LoadMessage::None && !again.rewrite);
    require(again.folder == folder && again.zoneEntry == entry);
}

void checkLoad(const QByteArray& bytes)
{
    const ConfigLines lines = readConfigLines(bytes);
    require(!lines.path.contains(QLatin1Char('\r')) && !lines.zone.contains(QLatin1Char('\r')));

    const std::optional<QString> folder = parsePathLine(lines.path);
    const std::optional<QString> entry = parseZoneLine(lines.zone);
    if (folder)
        require(!folder->isEmpty() && !folder->contains(QLatin1Char('=')));
    if (entry)
        require((entry->startsWith(QLatin1Char('+')) || entry->startsWith(QLatin1Char('-'))) &&
                entry->size() <= 3 && qAbs(entry->toInt()) <= 12);

    const LoadOutcome outcome = evaluateConfig(bytes, evenLengthExists);
    require(outcome.zoneEntry == entry);
    require(outcome.rewrite == (outcome.message != LoadMessage::None));
    require(outcome.message != LoadMessage::Missing);
    if (!outcome.folder.isEmpty())
        require(folder == outcome.folder && evenLengthExists(outcome.folder));
    if (outcome.message == LoadMessage::Address)
        require(folder && !evenLengthExists(*folder));
    if (outcome.message == LoadMessage::None)
        require(folder && entry && outcome.folder == *folder);

    if (folder && entry)
        checkRoundTrip(*folder, *entry);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = kelvo::fuzz::bytesOf(data, size);
    checkLoad(bytes);
    // Any text without "=" and CR is a folder the file can hold.
    kelvo::fuzz::forBothDecodings(bytes, [](const QString& text) {
        if (!text.isEmpty() && !text.contains(QLatin1Char('=')) &&
            !text.contains(QLatin1Char('\r')))
            checkRoundTrip(text, QStringLiteral("-7"));
    });
    return 0;
}
