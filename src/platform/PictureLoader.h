#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

namespace lumaro {

// A picture as the display holds it: the decoded pixels, the picture's own
// size, and a way to decode it again at another size. A big photo is decoded
// only as large as the display needs; when the display grows, `decode` brings
// a sharper copy.
struct LoadedPicture
{
    QImage image;
    QSize naturalSize;
    std::function<QImage(QSize)> decode;

    bool isNull() const { return image.isNull(); }
};

struct LoadResult
{
    LoadedPicture picture;
    QString error; // set when picture is null: why the file could not be read
};

class PictureLoader
{
public:
    virtual ~PictureLoader() = default;
    // Reads the picture file at `path`, decoding it no larger than needed to
    // fill `displaySize` device pixels.
    virtual LoadResult load(const QString &path, QSize displaySize) = 0;
    // The same for a picture's bytes held in memory (picture data dropped
    // from another program).
    virtual LoadResult loadData(const QByteArray &bytes, QSize displaySize) = 0;

    // Cheap guesses, for a drag that passes over the window: whether a
    // picture of this MIME type can be read, and whether the file at `path`
    // looks like one (by its name, or else by its first bytes). Only load()
    // knows for sure.
    virtual bool readsType(const QString &mimeType) = 0;
    virtual bool looksReadable(const QString &path) = 0;
};

} // namespace lumaro
