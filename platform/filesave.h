#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The file system's primitives that the settings, the export files, the
// autostart entries and the alarm share. Every file the program writes is
// written by writeFileAtomically().
namespace kelvo {

// Attribute tests that never fail: any error counts as "no".
bool FileExists(const QString& FileName);
bool DirExists(const QString& DirName);

// What a symbolic link at a name is, looked at without following it.
struct SymlinkAt {
    QString target;             // what the link names, as it reads
    bool own = false;           // the user running the program owns the link
    bool toRegularFile = false; // it leads, in the end, to a regular file
    qint64 targetSize = 0;      // that file's size
};
// std::nullopt when no link stands at `path`.
std::optional<SymlinkAt> symlinkAt(const QString& path);

// What the write does with a symbolic link that stands at the name.
enum class AtLink {
    // A link of the user's own to a regular file is written through, in the
    // target's folder by the same rules (a user who links an export file
    // into a trading platform's folder); any other link fails the write.
    FollowOwn,
    // The link itself is replaced by the new file; its target is left as it
    // was.
    Replace,
};

// Writes a whole file through a temporary file in the same folder and a
// rename, so a reader never sees it half written. The folder is opened once
// and every step is taken in it: the rename replaces whatever stands at the
// name by then, a link included, and never follows one, so another user
// who puts a link there meanwhile gets nothing written outside the folder.
// Where no new file may be created in the folder, or the file may not be
// renamed over, an existing regular file is rewritten in place instead (never
// through a link), its room claimed first so that a full disk leaves the old
// content whole.
// Returns the system's reason on failure, std::nullopt on success.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes,
                                           AtLink atLink = AtLink::FollowOwn);

// Adds bytes at the end of a file, made when missing: all of them or, where
// the write fails part way (a full disk), none, the file cut back to its
// length before. A file that another program holds open without sharing
// cannot be opened. Returns the system's reason on failure.
std::optional<QString> appendToFile(const QString& path, const QByteArray& bytes);

} // namespace kelvo
