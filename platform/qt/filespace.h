#pragma once

#include <QFile>
#include <QString>
#include <optional>

namespace kelvo {

// Claims room on the disk for `size` bytes of the open file, from its start,
// before a byte of it is overwritten: on a full disk this fails, and the old
// content stays whole. Returns the system's reason on failure.
std::optional<QString> reserveFileSpace(QFile& file, qint64 size);

} // namespace kelvo
