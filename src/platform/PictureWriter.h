#pragma once

#include <QImage>
#include <QString>

namespace lumaro {

class PictureWriter
{
public:
    virtual ~PictureWriter() = default;
    // Writes `image` to `path` in the format its name asks for. On failure
    // returns false, leaves any existing file untouched and sets `error`.
    virtual bool write(const QImage &image, const QString &path, QString *error) = 0;
};

} // namespace lumaro
