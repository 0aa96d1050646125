#pragma once

#include "platform/PictureLoader.h"

#include <QByteArray>

namespace lumaro {

// Reads every format Qt's image plugins read. Large pictures are decoded at
// the smallest power-of-two reduction that still covers the display (JPEG
// decodes that way natively), so a big photo opens fast and a picture too
// large to decode whole still opens.
class QtPictureLoader final : public PictureLoader
{
public:
    LoadResult load(const QString &path, QSize displaySize) override;
    LoadResult loadData(const QByteArray &bytes, QSize displaySize) override;
    bool readsType(const QString &mimeType) override;
    bool looksReadable(const QString &path) override;
};

// Files beyond this are refused rather than read into memory.
constexpr qint64 MaxPictureFileBytes = qint64(1) << 30;

// The size to decode a picture of `natural` size at so that it still covers
// `wanted` pixels: natural size halved as often as that allows.
QSize reducedDecodeSize(QSize natural, QSize wanted);

struct DecodeResult
{
    QImage image;
    QSize naturalSize; // as shown, after the picture's own orientation
    QString error;     // why, when image is null
};

// Decodes a picture file's bytes no larger than needed to cover `wanted`
// pixels (an invalid size: at its natural size). The content decides the format.
DecodeResult decodeReduced(const QByteArray &bytes, QSize wanted);

} // namespace lumaro
