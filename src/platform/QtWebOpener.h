#pragma once

#include "platform/WebOpener.h"

namespace lumaro {

// Asks the desktop's URL handler (xdg-open and friends) to open the address.
// No shell is involved, so nothing in the address is ever interpreted.
class QtWebOpener final : public WebOpener
{
public:
    bool open(const QUrl &url) override;
};

} // namespace lumaro
