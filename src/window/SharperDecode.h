#pragma once

#include "platform/PictureLoader.h"

#include <QObject>
#include <QSize>

#include <functional>

namespace lumaro {

// A picture decoded smaller than its natural size is decoded again once the
// display grows past it, on a worker thread: until the sharper copy arrives
// the display shows the smaller one stretched, and never waits for it.
class SharperDecode
{
public:
    // A new picture: whatever was asked for the old one is dropped.
    void reset();
    // Asks for a sharper copy of `picture` for a display of `devicePixels`,
    // unless it has one or one is on its way. `take` runs on the GUI thread
    // with the copy, only while `context` lives and the picture is the same.
    void requestIfNeeded(const LoadedPicture &picture, QSize devicePixels, QObject *context,
                         std::function<void(QImage)> take);
    // The copy asked for has arrived (or failed).
    void arrived() { m_decodingFor = QSize(); }

private:
    int m_generation = 0;
    QSize m_decodingFor;
};

} // namespace lumaro
