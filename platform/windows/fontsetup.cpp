#include "platform/fontsetup.h"

namespace kelvo {

std::function<void()> startFontSetUp()
{
    return [] {};
}

} // namespace kelvo
