#pragma once

#include "platform/Clipboard.h"

class QtClipboard final : public Clipboard
{
public:
    QImage image() const override;
};
