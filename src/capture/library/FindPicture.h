#pragma once

#include "FrozenScreen.h"

#include <QImage>
#include <QList>
#include <QPoint>

#include <optional>
#include <vector>

class QWidget;

namespace lumaro::capture {

// Where `needle` stands, pixel for pixel, inside `haystack`: the top-left
// corner of the match. A few strips of the needle find the candidates and the
// whole of it confirms one; a small part of it may differ (the pointer drawn
// into a screenshot) and it is still found. On Wayland this is how the program finds
// its own window in a picture of the desktop: no client may know where the
// compositor put its windows.
std::optional<QPoint> findPicture(const QImage &haystack, const QImage &needle);

// Where this program's window `w` is in a picture of the screens whose
// logical rectangle together is `layout`: found by its own pixels, when it is
// drawn at the picture's scale.
std::optional<WindowOnScreen> findOwnWindow(const QImage &picture, const QRect &layout, QWidget *w);

// This program's windows in the screens' own pictures: how the program
// learns where its windows are on Wayland, whichever backend took the
// pictures (elsewhere it knows, XWayland too).
std::vector<WindowOnScreen> findOwnWindows(const std::vector<FrozenScreen> &screens, const QList<QWidget *> &own);

} // namespace lumaro::capture
