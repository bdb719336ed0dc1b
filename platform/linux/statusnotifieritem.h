#pragma once

// The program's icon as a StatusNotifierItem on the session bus, for the
// notification areas that host icons over D-Bus: most panels of today, and
// the only kind there is under Wayland. Qt's own item cannot serve: Qt looks
// for such a host once per process, so a panel that starts later would never
// be used.

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <functional>

class QDBusArgument;
class QDBusServiceWatcher;

namespace kelvo {

// An image as the hosts read it: width, height and ARGB32 pixels in network
// byte order.
struct DBusImage {
    int width = 0;
    int height = 0;
    QByteArray pixels;
};
using DBusImages = QList<DBusImage>;

// The item's tip: an icon (by name or as images), a title and a text.
struct DBusToolTip {
    QString iconName;
    DBusImages images;
    QString title;
    QString text;
};

QDBusArgument& operator<<(QDBusArgument& out, const DBusImage& image);
const QDBusArgument& operator>>(const QDBusArgument& in, DBusImage& image);
QDBusArgument& operator<<(QDBusArgument& out, const DBusToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& in, DBusToolTip& tip);

class StatusNotifierItem final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    // What the hosts read. The item has no menu and never changes but for
    // its tip.
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString IconName READ none)
    Q_PROPERTY(QString IconThemePath READ none)
    Q_PROPERTY(kelvo::DBusImages IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ none)
    Q_PROPERTY(kelvo::DBusImages OverlayIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionIconName READ none)
    Q_PROPERTY(kelvo::DBusImages AttentionIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionMovieName READ none)
    Q_PROPERTY(kelvo::DBusToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)

public:
    // onActivate: the host reports a click on the item. onLost: the host
    // that holds the item, or its watcher, went away.
    StatusNotifierItem(std::function<void()> onActivate, std::function<void()> onLost);
    ~StatusNotifierItem() override;

    // True while the session bus has a watcher with a host registered with
    // it: an item offered now would be shown. Asks the watcher each time.
    static bool hostRegistered();

    // Offers the item to the watcher; false when it could not be offered.
    bool show(const QIcon& icon, const QString& tip);
    // Changes the tip of the shown item in place.
    void setToolTip(const QString& tip);
    // Takes the item off the bus, and so out of the host.
    void hide();
    bool isShown() const { return m_shown; }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("org.kelvorozevid.KelvoRozevid"); }
    QString title() const { return QStringLiteral("Kelvo-Rozevid"); }
    QString status() const { return QStringLiteral("Active"); }
    QString none() const { return {}; }
    DBusImages iconPixmap() const { return m_images; }
    DBusImages noImages() const { return {}; }
    DBusToolTip toolTip() const { return {{}, {}, m_tip, {}}; }
    bool itemIsMenu() const { return false; }

public slots:
    // The item's methods on the bus. Only a click brings the window back.
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);

signals:
    void NewToolTip();

private slots:
    void hostUnregistered();

private:
    void lose();

    std::function<void()> m_onActivate;
    std::function<void()> m_onLost;
    QString m_service;
    DBusImages m_images;
    QString m_tip;
    bool m_shown = false;
    QDBusServiceWatcher* m_watcher = nullptr;
};

} // namespace kelvo

Q_DECLARE_METATYPE(kelvo::DBusImage)
Q_DECLARE_METATYPE(kelvo::DBusToolTip)
