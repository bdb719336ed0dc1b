#include "platform/privatefolder.h"

#include <QDir>

namespace kelvo {

// The user's own temporary folder: the profile folder, where the program
// starts from the Start menu, keeps no file of it.
QString privateFolder(QString* problem)
{
    const QString folder = QDir::tempPath();
    if (QDir(folder).exists())
        return folder;
    if (problem)
        *problem = QStringLiteral("no temporary folder %1").arg(QDir::toNativeSeparators(folder));
    return {};
}

} // namespace kelvo
