#pragma once

#include <QStringList>
#include <functional>

namespace kelvo {

// Starts what the desktop's fonts need before the first window can show,
// beside the application's own set-up; the function returned waits until it
// is done. On Linux that is reading the system's font configuration, the
// largest single cost of the first window, which needs nothing of Qt; on
// Windows Qt asks the system for its fonts itself and nothing is started.
std::function<void()> startFontSetUp();

// The faces the window asks for, the first the system has taken: for its
// controls (an 8.25 pt dialog font) and for its labels. Windows has the
// window's own faces, with free stand-ins behind them; elsewhere the
// stand-ins come first, since a face the system lacks is looked for among
// all its fonts before the next is tried, and that slows the start.
QStringList dialogFaces();
QStringList labelFaces();

} // namespace kelvo
