// The kept login's label in the Secret Service: QtKeychain names every item
// after the program alone, so that two start folders' items could not be
// told apart in Passwords and Keys. The item is found by the attributes
// QtKeychain gives it and labelled with its folder, over D-Bus.
#include "platform/passwordstore.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace kelvo {

void labelKeptSecret(const QString& service, const QString& key, const QString& label)
{
    qDBusRegisterMetaType<QMap<QString, QString>>();
    auto bus = QDBusConnection::sessionBus();
    QDBusMessage search = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
        QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("SearchItems"));
    search << QVariant::fromValue(
        QMap<QString, QString>{{QStringLiteral("xdg:schema"), QStringLiteral("org.qt.keychain")},
                               {QStringLiteral("server"), service},
                               {QStringLiteral("user"), key}});
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(search));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [bus, label](auto* w) {
        w->deleteLater();
        const QDBusPendingReply<QList<QDBusObjectPath>, QList<QDBusObjectPath>> found = *w;
        // A store that has no such item, or is not the Secret Service
        // (KWallet), keeps its own names.
        for (const QDBusObjectPath& item : found.argumentAt<0>()) {
            QDBusMessage set = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.secrets"), item.path(),
                QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
            set << QStringLiteral("org.freedesktop.Secret.Item") << QStringLiteral("Label")
                << QVariant::fromValue(QDBusVariant(label));
            bus.asyncCall(set);
        }
    });
}

} // namespace kelvo
