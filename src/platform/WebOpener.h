#pragma once

#include <QUrl>

namespace lumaro {

class WebOpener
{
public:
    virtual ~WebOpener() = default;
    // Hands `url` to the user's browser without waiting for it; false when no
    // browser could be started.
    virtual bool open(const QUrl &url) = 0;
};

} // namespace lumaro
