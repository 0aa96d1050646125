#pragma once

#include "platform/PictureLoader.h"

#include <QObject>
#include <QSize>

#include <functional>
#include <memory>

class QThreadPool;

namespace lumaro {

// A picture decoded smaller than its natural size is decoded again once the
// display grows past it, on a worker thread: until the sharper copy arrives
// the display shows the smaller one stretched, and never waits for it.
//
// Each request has an id, and only the newest request's copy is taken: one
// made for a smaller display, or for a picture that has since been replaced,
// is dropped when it arrives, and the newest request goes on without being
// asked for again.
class SharperDecode
{
public:
    // A new picture: whatever was asked for the old one is dropped.
    void reset();
    // Asks for a sharper copy of `picture` for a display of `devicePixels`,
    // unless it has one, one at least that large is on its way, or one that
    // large could not be decoded. `take` runs on the GUI thread with the
    // copy, only while `context` lives and the request is still the newest.
    void requestIfNeeded(const LoadedPicture &picture, QSize devicePixels, QObject *context,
                         std::function<void(QImage)> take);

    // Where the decodes run (for tests and measurements).
    static QThreadPool *pool();

private:
    // Shared with the requests on their way, which may outlive this object.
    struct State
    {
        quint64 newest = 0;  // id of the newest request, or of the reset after it
        QSize pendingFor;    // the size the newest request decodes for, until it arrives
        QSize failedFor;     // a size the picture could not be decoded at
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace lumaro
