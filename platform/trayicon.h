#pragma once

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

namespace kelvo {

// The icon in the desktop's notification area. Only a left-button double
// click is reported; the window decides what it does with it.
class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    // False where the desktop has no notification area to put an icon in.
    virtual bool isAvailable() const = 0;
    virtual void add(const QIcon& icon, const QString& tip) = 0;
    // Removing an icon that is not shown does nothing.
    virtual void remove() = 0;
    virtual bool isShown() const = 0;
    virtual void setDoubleClickHandler(std::function<void()> handler) = 0;
};

class QtTrayIcon final : public TrayIcon {
public:
    QtTrayIcon();
    ~QtTrayIcon() override;
    bool isAvailable() const override;
    void add(const QIcon& icon, const QString& tip) override;
    void remove() override;
    bool isShown() const override;
    void setDoubleClickHandler(std::function<void()> handler) override;

    // Only a left-button double click brings the window back; single clicks,
    // the context menu request and the middle button do nothing.
    static bool restoresOn(QSystemTrayIcon::ActivationReason reason);

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::function<void()> m_onDoubleClick;
};

} // namespace kelvo
