#pragma once

#include "platform/coreplatform.h"
#include "platform/filedialog.h"
#include "platform/messagebox.h"
#include "platform/trayicon.h"

#include <memory>

namespace kelvo {

// Everything the program needs from the desktop and the network: the
// session's part, and the window's own (its boxes, its dialog, its icon).
struct Platform {
    CorePlatform core;
    std::shared_ptr<MessageBox> messageBox;
    std::shared_ptr<FileDialog> fileDialog;
    std::shared_ptr<TrayIcon> trayIcon;
};

// The real desktop and network.
Platform qtPlatform();

} // namespace kelvo
