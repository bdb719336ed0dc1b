#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

namespace kelvo {

// The proxy the user's system setting names for `url`: a proxy's address,
// or an empty one for a direct connection; nothing where the system names
// none, and the transfer then follows the environment (http_proxy,
// https_proxy, no_proxy). One implementation per platform.
std::optional<QByteArray> systemProxyFor(const QUrl& url);

// Windows' proxy setting, as the Internet Options keep it and WinHTTP gives
// it, applied to `url`: `proxies` is one address for every scheme
// ("host:port") or a list of them by scheme ("http=host:port;https=host:port"),
// `bypass` the hosts reached directly, separated by ";" or white space, with
// "*" for any characters and "<local>" for any host name without a dot. An
// empty result means a direct connection.
QByteArray proxyFromSetting(const QString& proxies, const QString& bypass, const QUrl& url);

} // namespace kelvo
