#include "filehold.h"

#include <windows.h>

namespace kelvo::test {

FileHold::FileHold(const QString& path) : m_path(path)
{
    m_handle =
        CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    m_held = m_handle != INVALID_HANDLE_VALUE;
}

FileHold::~FileHold()
{
    if (m_held)
        CloseHandle(m_handle);
}

} // namespace kelvo::test
