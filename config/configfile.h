#pragma once

#include "platform/codepage.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// Config.dat: two lines, "Path=<export folder>" and "Timezone=GMT<entry>",
// each ended by CR LF. Reading, checking and writing it are plain functions;
// the window decides what to show.
//
// Its text is in the system's code page, as other software reads it; a text
// that does not fit there (a folder named in another script) is written in
// UTF-8 after a byte-order mark instead, and a file that starts with the mark
// is read as UTF-8.
namespace kelvo::config {

inline constexpr char kFileName[] = "Config.dat";
inline constexpr char kTitlePrefix[] = "Kelvo-Rozevid - ";

// The folder files go to when nothing else is known: the user's home folder
// (a portable copy's own folder, when it is started there) followed by the
// native separator.
QString defaultExportFolder();

// The start folder followed by the native separator, which a root folder
// already ends with.
QString appPathFor(const QString& currentFolder);

// The first two lines of the file. A line ends at CR or CR LF, which is not
// part of it; a lone LF is an ordinary character. A missing line is empty.
struct ConfigLines {
    QString path;
    QString zone;
};
ConfigLines readConfigLines(const QByteArray& bytes, const CodePage& codePage = localCodePage());

// The folder of a well-formed path line: "Path=" then a non-empty text up to
// a second "=", if any.
std::optional<QString> parsePathLine(const QString& line);

// The time-zone entry of a well-formed zone line: "Timezone=GMT" then a sign
// and one digit, or a sign and two digits from 00 to 12. The entry need not be
// one of the list's entries ("+5" is well formed but names none).
std::optional<QString> parseZoneLine(const QString& line);

// The file's bytes for a folder and a zone entry.
QByteArray configContent(const QString& folder, const QString& zoneEntry,
                         const CodePage& codePage = localCodePage());

// The zone entry a save writes: the one selected, or with none selected the
// "+0" whose times the window shows then, so that no file is written that
// loading would take for damaged.
QString zoneEntryToSave(const QString& selected);

enum class LoadMessage { None, Missing, Corrupted, Address };

// What loading makes of the file: the folder to show (empty when none is
// valid), the zone entry to select, whether the file must be rewritten and
// with what, and which message to show. A repair keeps each line that was
// valid and puts the default in place of a faulty one; a missing file gets
// the default content.
struct LoadOutcome {
    QString folder;
    std::optional<QString> zoneEntry;
    bool rewrite = false;
    QByteArray content;
    LoadMessage message = LoadMessage::None;
};

// The file's bytes, at most kMaxBytes of them: std::nullopt when there is no
// file; empty, and so damaged, when it is no regular file (a FIFO, a link to
// a device), is larger, cannot be read, or is another user's link.
inline constexpr qint64 kMaxBytes = 64 * 1024;
std::optional<QByteArray> readConfigFile(const QString& path);

// contents is std::nullopt when the file does not exist. An unreadable file
// comes in as empty contents.
LoadOutcome evaluateConfig(const std::optional<QByteArray>& contents,
                           const std::function<bool(const QString&)>& dirExists,
                           const CodePage& codePage = localCodePage());

struct Message {
    QString title;
    QString text;
};
Message loadMessage(LoadMessage message);
// Writes the file that loading made (outcome.rewrite), and says what was
// done. A link of the user's own to a small regular file is repaired in its
// target; any other link at the name (to a device, a FIFO, a document,
// another user's) is replaced by the new file, its target left as it was.
Message writeRepairedConfig(const QString& path, const LoadOutcome& outcome);
Message writeFailedMessage(const QString& path, const QString& reason);
Message saveFailedMessage(const QString& path, const QString& reason);
Message folderMissingOnSaveMessage();

} // namespace kelvo::config
