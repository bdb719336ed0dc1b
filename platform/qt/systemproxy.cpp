#include "platform/qt/systemproxy.h"

#include <QRegularExpression>

namespace kelvo {
namespace {

const QRegularExpression kSeparators(QStringLiteral("[;\\s]+"));

bool bypassed(const QString& bypass, const QString& host)
{
    for (const QString& entry : bypass.split(kSeparators, Qt::SkipEmptyParts)) {
        if (entry.compare(QLatin1String("<local>"), Qt::CaseInsensitive) == 0) {
            if (!host.contains(QLatin1Char('.')))
                return true;
            continue;
        }
        // A pattern may carry a scheme and a port; the host is what counts.
        QString pattern = entry;
        pattern.remove(QRegularExpression(QStringLiteral("^[a-zA-Z]+://")));
        pattern.remove(QRegularExpression(QStringLiteral(":\\d+$")));
        const QRegularExpression matcher(QRegularExpression::wildcardToRegularExpression(pattern),
                                         QRegularExpression::CaseInsensitiveOption);
        if (matcher.match(host).hasMatch())
            return true;
    }
    return false;
}

} // namespace

QByteArray proxyFromSetting(const QString& proxies, const QString& bypass, const QUrl& url)
{
    const QString host = url.host();
    if (host.isEmpty() || bypassed(bypass, host))
        return {};
    const QString scheme = url.scheme().toLower();
    QString forAll;
    for (const QString& entry : proxies.split(kSeparators, Qt::SkipEmptyParts)) {
        const qsizetype equals = entry.indexOf(QLatin1Char('='));
        if (equals < 0) {
            forAll = entry;
        } else if (entry.left(equals).trimmed().toLower() == scheme) {
            return entry.mid(equals + 1).trimmed().toUtf8();
        }
    }
    return forAll.toUtf8();
}

} // namespace kelvo
