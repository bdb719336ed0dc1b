// The notification areas of Linux desktops: a StatusNotifierItem host over
// D-Bus where one runs, else an XEmbed tray under X11 (Qt's icon).

#include "platform/qt/trayicon.h"

#include "platform/linux/statusnotifieritem.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace kelvo {
namespace {

// The XEmbed trays of the X screens: a tray owns the selection
// _NET_SYSTEM_TRAY_S<n> of its screen n while it runs. The X server reports
// each change of owner, the owner's end included, so nothing is polled.
class XEmbedTrays final : public QAbstractNativeEventFilter {
public:
    explicit XEmbedTrays(std::function<void()> onChange) : m_onChange(std::move(onChange))
    {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11)
            return; // not X11: no XEmbed trays
        m_x = x11->connection();
        const auto* xfixes = xcb_get_extension_data(m_x, &xcb_xfixes_id);
        if (xfixes && xfixes->present)
            m_changeEvent = xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY;
        auto screen = xcb_setup_roots_iterator(xcb_get_setup(m_x));
        for (int n = 0; screen.rem; ++n, xcb_screen_next(&screen)) {
            const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(n);
            xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
                m_x, xcb_intern_atom(m_x, false, name.size(), name.constData()), nullptr);
            if (!atom)
                continue;
            m_selections.push_back(atom->atom);
            free(atom);
            if (m_changeEvent)
                xcb_xfixes_select_selection_input(
                    m_x, screen.data->root, m_selections.back(),
                    XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        }
        xcb_flush(m_x);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    bool present() const
    {
        for (const xcb_atom_t selection : m_selections) {
            xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
                m_x, xcb_get_selection_owner(m_x, selection), nullptr);
            const bool owned = reply && reply->owner != XCB_NONE;
            free(reply);
            if (owned)
                return true;
        }
        return false;
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if (m_changeEvent && type == "xcb_generic_event_t" &&
            (event->response_type & 0x7f) == m_changeEvent) {
            const auto* change =
                reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
            if (std::find(m_selections.begin(), m_selections.end(), change->selection) !=
                m_selections.end())
                QTimer::singleShot(0, qApp, m_onChange); // out of Qt's event reading
        }
        return false;
    }

private:
    std::function<void()> m_onChange;
    xcb_connection_t* m_x = nullptr;
    std::vector<xcb_atom_t> m_selections;
    int m_changeEvent = 0;
};

class LinuxTrayIcon final : public TrayIcon {
public:
    LinuxTrayIcon() : m_item([this] { restore(); }, [this] { restore(); })
    {
        m_xembed.setRestoreHandler([this] { restore(); });
    }

    Host host() const override
    {
        if (m_item.isShown() || (!m_xembed.isShown() && StatusNotifierItem::hostRegistered()))
            return Host::StatusNotifier;
        // Only once no other host was found: Qt's icon takes D-Bus for good
        // where it sees a host at its first look.
        if (m_xembed.isShown() || trays().present())
            return Host::IconWindow;
        return Host::None;
    }

    void add(const QIcon& icon, const QString& tip) override
    {
        switch (host()) {
        case Host::StatusNotifier:
            if (m_item.isShown())
                m_item.setToolTip(tip);
            else
                m_item.show(icon, tip);
            break;
        case Host::IconWindow:
            m_xembed.add(icon, tip);
            break;
        case Host::None:
            break;
        }
    }

    void remove() override
    {
        m_item.hide();
        m_xembed.remove();
    }

    bool isShown() const override { return m_item.isShown() || m_xembed.isShown(); }

    void setRestoreHandler(std::function<void()> handler) override
    {
        m_onRestore = std::move(handler);
    }

private:
    void restore() const
    {
        if (m_onRestore)
            m_onRestore();
    }

    // Followed from the first look for a tray on.
    XEmbedTrays& trays() const
    {
        if (!m_trays)
            m_trays = std::make_unique<XEmbedTrays>([this] {
                if (m_xembed.isShown())
                    restore();
            });
        return *m_trays;
    }

    StatusNotifierItem m_item;
    QtTrayIcon m_xembed;
    mutable std::unique_ptr<XEmbedTrays> m_trays;
    std::function<void()> m_onRestore;
};

} // namespace

std::shared_ptr<TrayIcon> desktopTrayIcon()
{
    return std::make_shared<LinuxTrayIcon>();
}

} // namespace kelvo
