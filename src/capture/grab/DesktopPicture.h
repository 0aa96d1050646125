#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <vector>

namespace lumaro::capture {

// Cuts one picture of the whole desktop (what a desktop portal returns: the
// screens' layout at one scale) into one picture per screen, by the screens'
// logical rectangles. Empty, with `error` set, when the picture does not have
// the layout's proportions.
std::vector<QImage> splitDesktopPicture(const QImage &whole, const std::vector<QRect> &screens, QString *error);

} // namespace lumaro::capture
