// The start with the desktop on Windows: a value per start folder under the
// user's Run key. Windows starts such a program in its system folder, so the
// value carries the start folder as an argument. Task Manager switches an
// entry off in StartupApproved\Run, keeping the value.
#include "platform/autostart.h"

#include <QDir>
#include <optional>
#include <string>
#include <windows.h>

namespace kelvo {
namespace {

constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kApproved[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

std::optional<QString> runValue(const std::wstring& name)
{
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kRun, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = DWORD(value.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, kRun, name.c_str(), RRF_RT_REG_SZ, nullptr, value.data(),
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return QString::fromWCharArray(value.c_str());
}

class RunKeyAutostart final : public Autostart {
public:
    State state(const QString& startFolder) const override
    {
        const std::wstring name = autostartEntryName(startFolder).toStdWString();
        if (!runValue(name))
            return State::Absent;
        // Its first byte is odd while the entry is switched off.
        BYTE approved[12] = {};
        DWORD size = sizeof approved;
        if (RegGetValueW(HKEY_CURRENT_USER, kApproved, name.c_str(), RRF_RT_REG_BINARY, nullptr,
                         approved, &size) == ERROR_SUCCESS &&
            size > 0 && (approved[0] & 1))
            return State::Disabled;
        return State::Enabled;
    }

    bool enable(const QString& startFolder, const QString& program) override
    {
        const std::wstring name = autostartEntryName(startFolder).toStdWString();
        const QString command = windowsRunCommand(QDir::toNativeSeparators(program),
                                                  QDir::toNativeSeparators(startFolder));
        // Checked anew: on again, whatever Task Manager said before.
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kApproved, name.c_str());
        if (runValue(name) == command)
            return true;
        const std::wstring value = command.toStdWString();
        return RegSetKeyValueW(HKEY_CURRENT_USER, kRun, name.c_str(), REG_SZ, value.c_str(),
                               DWORD((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

    bool disable(const QString& startFolder) override
    {
        const std::wstring name = autostartEntryName(startFolder).toStdWString();
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kApproved, name.c_str());
        const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, name.c_str());
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
};

} // namespace

std::shared_ptr<Autostart> desktopAutostart()
{
    return std::make_shared<RunKeyAutostart>();
}

} // namespace kelvo
