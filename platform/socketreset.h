#pragma once

#include <QtGlobal>

namespace kelvo {

// Resets every TCP connection of this process to `port` on the far side, at
// once and without a goodbye. Qt's network thread reads a reply's headers for
// as long as bytes keep coming, and meanwhile serves no other request, not
// even the abort of that reply: cutting its connection is what frees it. A
// no-op where a process cannot list its own sockets.
void resetConnectionsTo(quint16 port);

} // namespace kelvo
