#pragma once

#include "platform/PictureLoader.h"

// Reads every format Qt's image plugins read. Large pictures are decoded at
// the smallest power-of-two reduction that still covers the display (JPEG
// decodes that way natively), so a big photo opens fast and a picture too
// large to decode whole still opens.
class QtPictureLoader final : public PictureLoader
{
public:
    LoadResult load(const QString &path, QSize displaySize) override;
};

// The size to decode a picture of `natural` size at so that it still covers
// `wanted` pixels: natural size halved as often as that allows.
QSize reducedDecodeSize(QSize natural, QSize wanted);
