#include "platform/linux/statusnotifieritem.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QImage>
#include <QtEndian>

namespace kelvo {
namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
// A click waits for the watcher's answer at most this long.
constexpr int kWatcherReplyMs = 1000;

DBusImages imagesOf(const QIcon& icon)
{
    DBusImages images;
    for (const QSize& size : icon.availableSizes()) {
        QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        auto* pixel = reinterpret_cast<quint32*>(image.bits());
        for (qsizetype i = 0; i < qsizetype(image.width()) * image.height(); ++i)
            pixel[i] = qToBigEndian(pixel[i]);
        images.append(
            {image.width(), image.height(),
             QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes())});
    }
    return images;
}

} // namespace

QDBusArgument& operator<<(QDBusArgument& out, const DBusImage& image)
{
    out.beginStructure();
    out << image.width << image.height << image.pixels;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, DBusImage& image)
{
    in.beginStructure();
    in >> image.width >> image.height >> image.pixels;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const DBusToolTip& tip)
{
    out.beginStructure();
    out << tip.iconName << tip.images << tip.title << tip.text;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, DBusToolTip& tip)
{
    in.beginStructure();
    in >> tip.iconName >> tip.images >> tip.title >> tip.text;
    in.endStructure();
    return in;
}

StatusNotifierItem::StatusNotifierItem(std::function<void()> onActivate,
                                       std::function<void()> onLost)
    : m_onActivate(std::move(onActivate)), m_onLost(std::move(onLost)),
      m_service(
          QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid()))
{
}

StatusNotifierItem::~StatusNotifierItem()
{
    hide();
}

bool StatusNotifierItem::hostRegistered()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(get, QDBus::Block, kWatcherReplyMs);
    return reply.type() == QDBusMessage::ReplyMessage &&
           reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

bool StatusNotifierItem::show(const QIcon& icon, const QString& tip)
{
    qDBusRegisterMetaType<DBusImage>();
    qDBusRegisterMetaType<DBusImages>();
    qDBusRegisterMetaType<DBusToolTip>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_images = imagesOf(icon);
    m_tip = tip;
    m_shown = true;
    // A host shows an item while its name is on the bus: the name is taken
    // for as long as the icon is shown.
    if (!bus.registerService(m_service) ||
        !bus.registerObject(kItemPath, this,
                            QDBusConnection::ExportAllProperties |
                                QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllSlots)) {
        hide();
        return false;
    }
    if (!m_watcher) {
        // Whatever happens to the watcher's name, the host it served is gone;
        // a host that leaves a watcher behind says so on the watcher.
        m_watcher =
            new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] { lose(); });
        bus.connect(kWatcher, kWatcherPath, kWatcher,
                    QStringLiteral("StatusNotifierHostUnregistered"), this,
                    SLOT(hostUnregistered()));
    }
    QDBusMessage add = QDBusMessage::createMethodCall(kWatcher, kWatcherPath, kWatcher,
                                                      QStringLiteral("RegisterStatusNotifierItem"));
    add << m_service;
    auto* call = new QDBusPendingCallWatcher(bus.asyncCall(add, kWatcherReplyMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        if (w->isError())
            lose();
        w->deleteLater();
    });
    return true;
}

void StatusNotifierItem::setToolTip(const QString& tip)
{
    m_tip = tip;
    emit NewToolTip();
}

void StatusNotifierItem::hide()
{
    if (!m_shown)
        return;
    m_shown = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(kItemPath);
    bus.unregisterService(m_service);
}

void StatusNotifierItem::lose()
{
    if (m_shown && m_onLost)
        m_onLost();
}

void StatusNotifierItem::hostUnregistered()
{
    if (m_shown && !hostRegistered())
        lose();
}

void StatusNotifierItem::Activate(int, int)
{
    if (m_onActivate)
        m_onActivate();
}

void StatusNotifierItem::SecondaryActivate(int, int) {}
void StatusNotifierItem::ContextMenu(int, int) {}
void StatusNotifierItem::Scroll(int, const QString&) {}

} // namespace kelvo
