#include "platform/filesave.h"

#include "platform/linkowner.h"
#include "platform/qt/filespace.h"

#include <QFileInfo>
#include <QSaveFile>

namespace kelvo {

bool FileExists(const QString& FileName)
{
    if (FileName.isEmpty())
        return false;
    const QFileInfo info(FileName);
    return info.exists() && !info.isDir();
}

bool DirExists(const QString& DirName)
{
    if (DirName.isEmpty())
        return false;
    return QFileInfo(DirName).isDir();
}

namespace {

// Rewrites an existing file in place, for a folder that lets its files be
// written but no new file be created there. The room for the new content is
// claimed before a byte of the old one is touched, and the file is cut to
// its new length only after the whole content is in it: on a full disk the
// old content stays whole.
std::optional<QString> overwriteInPlace(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return file.errorString();
    if (const auto failure = reserveFileSpace(file, bytes.size()))
        return failure;
    if (file.write(bytes) != bytes.size() || !file.resize(bytes.size()))
        return file.errorString();
    return std::nullopt;
}

} // namespace

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    if (isForeignSymlink(path))
        return QStringLiteral("it is another user's link, which is never followed");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        // No temporary file could be made beside it: write the file itself.
        const QString reason = file.errorString();
        if (FileExists(path) && !overwriteInPlace(path, bytes))
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
        // The file could not be replaced: on Windows a reader that holds it
        // open keeps it from being renamed over, though it lets it be
        // written. A stale file would be worse than one rewritten in place.
        const QString reason = file.errorString();
        return FileExists(path) && !overwriteInPlace(path, bytes) ? std::nullopt
                                                                  : std::optional(reason);
    }
    return std::nullopt;
}

} // namespace kelvo
