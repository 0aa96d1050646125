#pragma once

#include "platform/PictureWriter.h"

class QIODevice;

namespace lumaro {

// Writes through QSaveFile: the file at the path is either the old one or the
// complete new one, never a half-written mix. The new one is on the disk
// before it takes the name.
class QtPictureWriter final : public PictureWriter
{
public:
    bool write(const QImage &image, const QString &path, QString *error) override;
};

// A 32-bit Windows bitmap of `image`.
bool writeBmp(QIODevice &device, const QImage &image);

// The format a file name asks for: "JPEG", "PNG" or, for any other name, "BMP".
QByteArray pictureFormatForName(const QString &path);

} // namespace lumaro
