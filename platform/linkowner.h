#pragma once

#include <QString>

namespace kelvo {

// True when `path` is a symbolic link that the user running the program does
// not own: one that another user may have put into a folder open to all
// (a shared export folder, a shared start folder). As the kernel's own
// protected-symlinks rule has it, such a link is never followed; a link of
// the user's own is. False where links need no such care.
bool isForeignSymlink(const QString& path);

} // namespace kelvo
