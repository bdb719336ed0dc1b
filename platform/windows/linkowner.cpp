#include "platform/linkowner.h"

namespace kelvo {

// Only an administrator, or a developer-mode user, may make symbolic links on
// Windows, and not in another user's folder.
bool isForeignSymlink(const QString&)
{
    return false;
}

} // namespace kelvo
