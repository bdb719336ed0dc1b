#include "platform/qt/systemproxy.h"

#include <windows.h>
#include <winhttp.h>

namespace kelvo {

// The user's proxy as the Internet Options set it, read afresh for every
// request so that a change counts at once. Only a proxy set by hand is
// followed: with none (or only a detected one or a script) the environment
// is.
std::optional<QByteArray> systemProxyFor(const QUrl& url)
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config))
        return std::nullopt;
    const auto take = [](LPWSTR text) {
        const QString value = text ? QString::fromWCharArray(text) : QString();
        if (text)
            GlobalFree(text);
        return value;
    };
    const QString proxies = take(config.lpszProxy);
    const QString bypass = take(config.lpszProxyBypass);
    take(config.lpszAutoConfigUrl);
    if (proxies.trimmed().isEmpty())
        return std::nullopt;
    return proxyFromSetting(proxies, bypass, url);
}

} // namespace kelvo
