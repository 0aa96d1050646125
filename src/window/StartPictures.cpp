#include "window/StartPictures.h"

#include <QImageReader>
#include <QList>
#include <QPixmap>

#include <algorithm>
#include <future>
#include <system_error>

using namespace Qt::StringLiterals;

namespace lumaro {

namespace {

struct Decoded
{
    QImage picture;
    QList<QImage> icon;
};

Decoded decode()
{
    Decoded d;
    d.picture = QImage(u":/window/default.jpg"_s);
    QImageReader reader(u":/window/lumaro.ico"_s);
    const int count = std::max(reader.imageCount(), 1);
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        const QImage image = reader.read();
        if (!image.isNull())
            d.icon << image;
    }
    return d;
}

std::future<Decoded> &ahead()
{
    static std::future<Decoded> decoding;
    return decoding;
}

// What was decoded last; a decode started ahead replaces it when it is taken.
const Decoded &taken()
{
    static Decoded d;
    if (ahead().valid()) {
        try {
            d = ahead().get();
        } catch (const std::exception &) {
            // Decoded again below.
        }
    }
    if (d.picture.isNull() || d.icon.isEmpty())
        d = decode();
    return d;
}

} // namespace

void decodeStartPicturesAhead()
{
    if (ahead().valid())
        return;
    try {
        ahead() = std::async(std::launch::async, decode);
    } catch (const std::system_error &) {
        // No thread to be had: the pictures are decoded when first taken.
    }
}

QImage defaultPicture()
{
    return taken().picture;
}

QIcon programIcon()
{
    QIcon icon;
    for (const QImage &image : taken().icon)
        icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}

} // namespace lumaro
