#pragma once

#include <QString>
#include <optional>

namespace kelvo {

// The file that marks a portable copy of the program: the Windows zip puts
// it beside the program.
inline constexpr char kPortableMarker[] = "Portable.txt";

// The program's own folder when it is a portable copy started there, so that
// it keeps its files with it (on a USB stick, say); none otherwise.
std::optional<QString> portableFolder();

} // namespace kelvo
