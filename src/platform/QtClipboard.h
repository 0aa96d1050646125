#pragma once

#include "platform/Clipboard.h"

namespace lumaro {

class QtClipboard final : public Clipboard
{
public:
    QImage image() const override;
};

} // namespace lumaro
