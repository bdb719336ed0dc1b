#pragma once

#include <memory>

namespace kelvo {

// The desktop's default system beep.
class Beep {
public:
    virtual ~Beep() = default;
    virtual void beep() = 0;
};

// The desktop's own.
std::shared_ptr<Beep> desktopBeep();

} // namespace kelvo
