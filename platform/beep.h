#pragma once

namespace kelvo {

// The desktop's default system beep.
class Beep {
public:
    virtual ~Beep() = default;
    virtual void beep() = 0;
};

class QtBeep final : public Beep {
public:
    void beep() override;
};

} // namespace kelvo
