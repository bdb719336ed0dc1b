#include "platform/portable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kelvo {

std::optional<QString> portableFolder()
{
    if (!QCoreApplication::instance())
        return std::nullopt;
    const QString own = QCoreApplication::applicationDirPath();
    // (QFileInfo compares as the file system does: without case on Windows.)
    if (!QFileInfo::exists(own + QLatin1Char('/') + QLatin1String(kPortableMarker)) ||
        QFileInfo(own) != QFileInfo(QDir::currentPath()))
        return std::nullopt;
    return own;
}

} // namespace kelvo
