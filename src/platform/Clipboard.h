#pragma once

#include <QImage>

namespace lumaro {

class Clipboard
{
public:
    virtual ~Clipboard() = default;
    // The picture on the clipboard, whatever its format; null when none.
    virtual QImage image() const = 0;
};

} // namespace lumaro
