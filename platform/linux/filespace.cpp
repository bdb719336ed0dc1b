#include "platform/qt/filespace.h"

#include <cstring>
#include <fcntl.h>

namespace kelvo {

std::optional<QString> reserveFileSpace(QFile& file, qint64 size)
{
    if (size <= 0)
        return std::nullopt;
    if (const int err = ::posix_fallocate(file.handle(), 0, size))
        return QString::fromLocal8Bit(std::strerror(err));
    return std::nullopt;
}

} // namespace kelvo
