// Writing a file on Windows, through QSaveFile: a temporary file beside it,
// replaced over the name by the system's own rename. Only an administrator
// (or a developer-mode user) may make symbolic links on Windows, and not in
// another user's folder, so every link is taken for the user's own.
#include "platform/filesave.h"

#include <QFileInfo>
#include <QSaveFile>

namespace kelvo {
namespace {

// Rewrites an existing file in place, for a file that a reader holds open:
// Windows then lets it be written but not renamed over. NTFS gives a file
// that grows the clusters of its new length at once (it is not sparse), and
// refuses to grow it on a full disk: the room is claimed before a byte of the
// old content is touched, and the file is cut to its new length only after
// the whole content is in it.
std::optional<QString> overwriteInPlace(const QString& path, const QByteArray& bytes)
{
    if (QFileInfo(path).isSymLink())
        return QStringLiteral("it is a link");
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return file.errorString();
    if (bytes.size() > file.size() && !file.resize(bytes.size()))
        return file.errorString();
    if (file.write(bytes) != bytes.size() || !file.resize(bytes.size()))
        return file.errorString();
    return std::nullopt;
}

} // namespace

std::optional<SymlinkAt> symlinkAt(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink() && !info.isJunction())
        return std::nullopt;
    const QFileInfo target(info.symLinkTarget());
    return SymlinkAt{info.symLinkTarget(), true, target.isFile(),
                     target.isFile() ? target.size() : 0};
}

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes,
                                           AtLink atLink)
{
    if (const auto link = symlinkAt(path)) {
        // A link to anything but a file is never written through; one that is
        // to be replaced goes first, so that QSaveFile does not follow it.
        if (atLink == AtLink::Replace) {
            if (!QFile::remove(path))
                return QStringLiteral("the link could not be replaced");
        } else if (!link->toRegularFile) {
            return QStringLiteral("it is a link to something that is not a regular file");
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        // No temporary file could be made beside it: write the file itself.
        const QString reason = file.errorString();
        if (QFileInfo(path).isFile() && !overwriteInPlace(path, bytes))
            return std::nullopt;
        return reason;
    }
    // Flush before committing: a write error that only shows when the buffer
    // goes to disk (a full disk, say) would otherwise be missed, and the
    // short temporary file would replace the good one.
    if (file.write(bytes) != bytes.size() || !file.flush() ||
        file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) {
        // The file could not be replaced: a reader that holds it open keeps it
        // from being renamed over, though it lets it be written. A stale file
        // would be worse than one rewritten in place.
        const QString reason = file.errorString();
        return QFileInfo(path).isFile() && !overwriteInPlace(path, bytes) ? std::nullopt
                                                                          : std::optional(reason);
    }
    return std::nullopt;
}

} // namespace kelvo
