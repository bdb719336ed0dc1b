#include "filehold.h"

#include <windows.h>

std::shared_ptr<void> kelvo::test::holdFile(const QString& path)
{
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()),
                              GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::shared_ptr<void>(file, CloseHandle);
}
