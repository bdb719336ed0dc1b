#pragma once

#include <functional>

namespace kelvo {

// Starts what the desktop's fonts need before the first window can show,
// beside the application's own set-up; the function returned waits until it
// is done. On Linux that is reading the system's font configuration, the
// largest single cost of the first window, which needs nothing of Qt; on
// Windows Qt asks the system for its fonts itself and nothing is started.
std::function<void()> startFontSetUp();

} // namespace kelvo
