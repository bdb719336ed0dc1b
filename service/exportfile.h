#pragma once

#include "platform/httptransfer.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The export files that other trading software watches: one line each,
// rewritten after every signal reply, never half written.
namespace kelvo::service {

inline constexpr char kDailyFile[] = "Kelvo-Daily.csv";
inline constexpr char kHourlyFile[] = "Kelvo-Hourly.csv";

// The folder text followed by the file name, with the native separator put
// between them when the folder text does not end with one. An empty folder
// text means the current folder.
QString exportFilePath(const QString& folder, const QString& fileName);

// The file's one line: the four fields of the row starting at firstField
// (numbered from 1), each followed by ",", then the last update time and
// CR LF, in the bytes the fields came as (the reply was read with
// `encoding`). No line when a field of the row is missing.
std::optional<QByteArray> exportLine(const QStringList& fields, int firstField,
                                     const QString& lastUpdate, TextEncoding encoding);

// Which files a reply for a trading system writes, in order: the daily file
// (fields 1-4, or 9-12 under both systems) before the hourly file (fields 1-4).
struct ExportJob {
    QString fileName;
    int firstField;
};
QList<ExportJob> exportJobs(int system);

struct ExportResult {
    QString path;
    enum Outcome { Written, SkippedShortReply, Failed } outcome;
    QString error;
};

// Writes every file of the reply. A file whose row is incomplete is left
// exactly as it was; a file that cannot be written stays as it was too.
QList<ExportResult> writeExports(const QString& folder, int system, const QStringList& fields,
                                 const QString& lastUpdate, TextEncoding encoding);

// What the window shows of the latest export: nothing while every file was
// written, a failure with each failed file and its reason, or, when no file
// was written or failed (a short reply), whatever it showed before.
struct ExportFailure {
    bool failed = false;
    QString details;
};
std::optional<ExportFailure> exportFailure(const QList<ExportResult>& results);

} // namespace kelvo::service
