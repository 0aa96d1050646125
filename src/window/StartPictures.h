#pragma once

#include <QIcon>
#include <QImage>

namespace lumaro {

// The pictures a start shows: the program's icon and the picture in the
// window before any is opened. Decoding them takes a few milliseconds (Qt
// finds and loads its JPEG and ICO readers first) that a start need not
// wait for: decodeStartPicturesAhead() decodes them on a thread of their own
// while the window's fonts are loaded, and the two functions below take the
// result, or decode there and then if nothing was started.
void decodeStartPicturesAhead();

QImage defaultPicture();

// Every size the icon file holds. Made on the GUI thread.
QIcon programIcon();

} // namespace lumaro
