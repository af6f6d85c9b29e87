#pragma once
// Keeping windows where the user can reach them.

#include <QRect>

class QWidget;

namespace mirvane {

// The place for a window of frame `window` inside `available`: moved (never resized) by the
// least amount that puts it wholly inside; a window larger than `available` keeps its top
// left corner on it.
QRect FitInto(const QRect &window, const QRect &available);

// Moves a top-level window onto the available area of the screen nearest to it (the area
// without panels and docks). GUI thread only; without any screen nothing changes.
void KeepOnScreen(QWidget *window);

} // namespace mirvane
