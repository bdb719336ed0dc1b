// The kept login's credential names its start folder already (its target
// is the program's name and the folder); its comment says what it is.
#include "platform/passwordstore.h"

#include <windows.h>
// (after windows.h, whose types it uses)
#include <wincred.h>

namespace kelvo {

void labelKeptSecret(const QString&, const QString& key, const QString& label)
{
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(reinterpret_cast<LPCWSTR>(key.utf16()), CRED_TYPE_GENERIC, 0, &credential))
        return;
    std::wstring comment = label.toStdWString();
    credential->Comment = comment.data();
    CredWriteW(credential, 0);
    CredFree(credential);
}

} // namespace kelvo
