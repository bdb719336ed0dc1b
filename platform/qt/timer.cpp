#include "platform/timer.h"

#include <QTimer>

namespace kelvo {
namespace {

class QtPeriodicTimer final : public PeriodicTimer {
public:
    explicit QtPeriodicTimer(QObject* parent) : m_timer(new QTimer(parent)) {}
    ~QtPeriodicTimer() override { delete m_timer; }

    void start(int intervalMs, std::function<void()> onTick) override
    {
        m_timer->disconnect();
        QObject::connect(m_timer, &QTimer::timeout, m_timer, std::move(onTick));
        m_timer->start(intervalMs);
    }
    int interval() const override { return m_timer->interval(); }
    bool isActive() const override { return m_timer->isActive(); }

private:
    QTimer* m_timer;
};

} // namespace

std::unique_ptr<PeriodicTimer> makeQtTimer(QObject* parent)
{
    return std::make_unique<QtPeriodicTimer>(parent);
}

} // namespace kelvo
