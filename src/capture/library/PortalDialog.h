#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace lumaro::capture {

// The small dialog shown while the desktop portal keeps a capture waiting
// (see WaitNotice): it says what is being waited for, and its button or
// closing it calls `giveUp`. It goes when the returned object is destroyed.
std::unique_ptr<QObject> portalWaitDialog(std::function<void()> giveUp);

} // namespace lumaro::capture
