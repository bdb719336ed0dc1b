#include "platform/privatefolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo {
namespace {

// A folder, not a link to one, of the user's own that no one else may enter.
bool isPrivate(const QString& folder)
{
    struct stat status {};
    return !folder.isEmpty() && ::lstat(QFile::encodeName(folder).constData(), &status) == 0 &&
           S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() && (status.st_mode & 077) == 0;
}

} // namespace

QString privateFolder(QString* problem)
{
    // The session's runtime folder; not Qt's stand-in for a missing one, a
    // name in /tmp that another user may have made first.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivate(runtime))
        return runtime;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString own = cache + QStringLiteral("/kelvo-rozevid");
    QDir().mkpath(cache);
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (isPrivate(own))
        return own;
    if (problem)
        *problem = QStringLiteral("%1 is no folder of the user's own that only they may enter")
                       .arg(QDir::toNativeSeparators(own));
    return {};
}

} // namespace kelvo
