#include "platform/filespace.h"

#include <io.h>
#include <qt_windows.h>

namespace kelvo {

std::optional<QString> reserveFileSpace(QFile& file, qint64 size)
{
    // NTFS gives a file the clusters it is to hold ahead of its end of file;
    // a smaller allocation than the file's length would cut it short.
    if (size <= file.size())
        return std::nullopt;
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = size;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (!SetFileInformationByHandle(handle, FileAllocationInfo, &allocation, sizeof allocation))
        return qt_error_string(int(GetLastError()));
    return std::nullopt;
}

} // namespace kelvo
