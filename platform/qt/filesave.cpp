#include "platform/filesave.h"

#include <QFileInfo>

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

} // namespace kelvo
