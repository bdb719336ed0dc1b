#include "platform/qt/filespace.h"

namespace kelvo {

std::optional<QString> reserveFileSpace(QFile& file, qint64 size)
{
    // NTFS gives a file that grows the clusters of its new length at once
    // (it is not sparse), and refuses to grow it on a full disk.
    if (size > file.size() && !file.resize(size))
        return file.errorString();
    return std::nullopt;
}

} // namespace kelvo
