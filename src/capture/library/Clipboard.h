#pragma once

class QImage;
class QString;

namespace lumaro::capture {

// What the selector hands to the clipboard: the captured picture, a picked
// colour's name.
void putOnClipboard(const QImage &image);
void putOnClipboard(const QString &text);

} // namespace lumaro::capture
