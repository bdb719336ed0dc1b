#pragma once

#include <QString>

namespace kelvo {

// A folder that only the user running the program may enter, for the lock
// and the socket through which starts in one folder meet: never one that
// another user could have made first (a name in /tmp anyone can compute).
// On Linux the session's runtime folder once its owner and mode are checked,
// else a folder of the program's own under the user's cache folder, made with
// mode 0700 and checked likewise; on Windows the user's temporary folder, out of the start
// and profile folders. Empty, with the reason in *problem, when there is none.
QString privateFolder(QString* problem);

} // namespace kelvo
