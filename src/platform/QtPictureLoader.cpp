#include "platform/QtPictureLoader.h"

#include <QFileInfo>
#include <QImageReader>

using namespace Qt::StringLiterals;

QSize reducedDecodeSize(QSize natural, QSize wanted)
{
    if (!natural.isValid() || natural.isEmpty())
        return natural;
    const int wantW = std::max(1, wanted.width());
    const int wantH = std::max(1, wanted.height());
    int shift = 0;
    // Halve while both sides still cover the display.
    while (shift < 16) {
        const int w = (natural.width() + (1 << (shift + 1)) - 1) >> (shift + 1);
        const int h = (natural.height() + (1 << (shift + 1)) - 1) >> (shift + 1);
        if (w < wantW || h < wantH)
            break;
        ++shift;
    }
    return { (natural.width() + (1 << shift) - 1) >> shift,
             (natural.height() + (1 << shift) - 1) >> shift };
}

namespace {

QImage decodeAt(const QString &path, QSize wanted, QString *error, QSize *naturalSize = nullptr)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize natural = reader.size();
    if (naturalSize) {
        *naturalSize = natural;
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            naturalSize->transpose();
    }
    if (natural.isValid() && wanted.isValid()) {
        const QSize target = reducedDecodeSize(natural, wanted);
        if (target != natural)
            reader.setScaledSize(target);
    }
    QImage image = reader.read();
    if (image.isNull() && error) {
        switch (reader.error()) {
        case QImageReader::FileNotFoundError:
            *error = u"找不到这个文件。"_s;
            break;
        case QImageReader::DeviceError:
            *error = u"无法读取这个文件（可能没有读取权限）。"_s;
            break;
        case QImageReader::UnsupportedFormatError:
            *error = QFileInfo(path).size() == 0 ? u"这个文件是空的。"_s
                                                 : u"这不是程序能识别的图片格式。"_s;
            break;
        default:
            if (natural.isValid() && qint64(natural.width()) * natural.height() > 400'000'000)
                *error = u"图片太大（%1×%2 像素），无法读取。"_s.arg(natural.width()).arg(natural.height());
            else
                *error = u"图片数据不完整或已损坏。"_s;
            break;
        }
    }
    return image;
}

} // namespace

LoadResult QtPictureLoader::load(const QString &path, QSize displaySize)
{
    LoadResult result;
    QSize natural;
    result.picture.image = decodeAt(path, displaySize, &result.error, &natural);
    if (result.picture.image.isNull())
        return result;
    result.picture.naturalSize = natural.isValid() ? natural : result.picture.image.size();
    if (result.picture.image.size() != result.picture.naturalSize)
        result.picture.decode = [path](QSize wanted) { return decodeAt(path, wanted, nullptr); };
    return result;
}
