#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The file system's primitives that the settings, the export files and the
// alarm share.
namespace kelvo {

// Attribute tests that never fail: any error counts as "no".
bool FileExists(const QString& FileName);
bool DirExists(const QString& DirName);

// Writes a whole file through a temporary file in the same folder and a
// rename, so a reader never sees it half written. Where no new file may be
// created in the folder, or the file may not be renamed over, an existing
// file is rewritten in place instead, its room claimed first so that a full
// disk leaves the old content whole. Another user's link at `path` is never
// followed: the write fails.
// Returns the system's reason on failure, std::nullopt on success.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace kelvo
