#include "platform/beep.h"

#include <QApplication>

namespace kelvo {

namespace {

// MessageBeep on Windows, the X server's bell under X11.
class QtBeep final : public Beep {
public:
    void beep() override { QApplication::beep(); }
};

} // namespace

std::shared_ptr<Beep> desktopBeep()
{
    return std::make_shared<QtBeep>();
}

} // namespace kelvo
