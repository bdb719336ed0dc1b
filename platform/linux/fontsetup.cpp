#include "platform/fontsetup.h"

#include <fontconfig/fontconfig.h>
#include <memory>
#include <thread>

namespace kelvo {

std::function<void()> startFontSetUp()
{
    // Qt's font database then finds the configuration read.
    auto thread = std::make_shared<std::thread>([] { FcInit(); });
    return [thread] {
        if (thread->joinable())
            thread->join();
    };
}

} // namespace kelvo
