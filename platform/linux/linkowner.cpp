#include "platform/linkowner.h"

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo {

bool isForeignSymlink(const QString& path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISLNK(status.st_mode) &&
           status.st_uid != ::geteuid();
}

} // namespace kelvo
