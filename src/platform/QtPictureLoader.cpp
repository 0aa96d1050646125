#include "platform/QtPictureLoader.h"

#include <QBuffer>
#include <QByteArrayView>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeDatabase>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace lumaro {

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

// The pointer tells that the program is at work while a file is read and
// decoded: a picture of hundreds of millions of pixels takes a second, and
// the window cannot answer meanwhile. Only the thread that owns the windows
// may change the pointer; elsewhere this does nothing.
class BusyPointer
{
public:
    BusyPointer()
        : m_shown(qobject_cast<QGuiApplication *>(QCoreApplication::instance())
                  && QThread::currentThread() == QCoreApplication::instance()->thread())
    {
        if (m_shown)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyPointer()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

private:
    const bool m_shown;
};

// The picture in a file's bytes, decoded for the display; the busy pointer
// is the caller's.
LoadResult pictureFromBytes(const QByteArray &bytes, QSize displaySize);

QString damagedData()
{
    return u"图片数据不完整或已损坏。"_s;
}

// Whether one of a PNG's chunks declares more data than the file holds.
// libpng reads a text chunk (and eXIf, sPLT, pCAL, sCAL) whole: it takes a
// buffer of the length the chunk declares and clears all of it before
// reading a byte. One damaged length in a file of a few hundred bytes so
// costs up to 2 GB and seconds, and then the read breaks off at the end of
// the file all the same: no PNG with such a chunk opens. The walk stops at
// IEND, as the reader does; IEND's own CRC may be missing (Qt's reader
// supplies it), so only a chunk's data has to be there.
bool pngChunkRunsPastTheEnd(QByteArrayView png)
{
    if (!png.startsWith(QByteArrayView("\x89PNG\r\n\x1a\n", 8)))
        return false;
    // Each chunk: its data's length (4), type (4), data, CRC (4).
    qsizetype at = 8;
    while (png.size() - at >= 8) {
        const qint64 length = qFromBigEndian<quint32>(png.data() + at);
        if (length > png.size() - at - 8)
            return true;
        if (png.sliced(at + 4, 4) == "IEND")
            return false;
        at += 12 + length;
    }
    return false;
}

// The same for the PNG an icon or cursor may hold its picture as: Qt's
// reader reads the first one with libpng too.
bool iconsPngChunkRunsPastTheEnd(QByteArrayView ico)
{
    // A directory: reserved (0), type (1 icon, 2 cursor), count; then 16
    // bytes a picture, the size of its data at 8 and where it is at 12.
    if (ico.size() < 6 + 16 || qFromLittleEndian<quint16>(ico.data()) != 0)
        return false;
    const quint16 type = qFromLittleEndian<quint16>(ico.data() + 2);
    if ((type != 1 && type != 2) || qFromLittleEndian<quint16>(ico.data() + 4) == 0)
        return false;
    const qint64 size = qFromLittleEndian<quint32>(ico.data() + 6 + 8);
    const qint64 offset = qFromLittleEndian<quint32>(ico.data() + 6 + 12);
    // Data that would end past the file is not read at all.
    if (offset > ico.size() || size > ico.size() - offset)
        return false;
    return pngChunkRunsPastTheEnd(ico.sliced(offset, size));
}

// Whether a PNG's header says its rows come interlaced (Adam7): Qt then
// decodes it whole, whatever size was asked for.
bool pngIsInterlaced(const QByteArray &bytes)
{
    // Signature (8), IHDR length and type (8), width, height, depth, colour
    // type, compression, filter (12), then the interlace method.
    return bytes.size() > 28 && bytes.mid(12, 4) == "IHDR" && bytes.at(28) != 0;
}

// The size Qt's reader allocates for the decode, before any scaling of its
// own: JPEG decodes at n/8 of the picture's size, the smallest n that still
// covers `scaled`; 8-bit (32-bit decoded) PNG without interlacing scales row
// by row into `scaled`; every other format decodes whole and scales after.
QSize allocatedSize(const QImageReader &reader, const QByteArray &bytes, QSize natural, QSize scaled)
{
    if (!scaled.isValid() || scaled == natural)
        return natural;
    const QByteArray format = reader.format();
    if (format == "jpeg") {
        const double factor = std::min(double(natural.width()) / scaled.width(),
                                       double(natural.height()) / scaled.height());
        const int eighths = std::clamp(int(std::ceil(8.0 / factor)), 1, 8);
        auto part = [eighths](int side) { return int((qint64(side) * eighths + 7) / 8); };
        return { part(natural.width()), part(natural.height()) };
    }
    if (format == "png") {
        const QImage::Format decoded = reader.imageFormat();
        if ((decoded == QImage::Format_RGB32 || decoded == QImage::Format_ARGB32) && !pngIsInterlaced(bytes)
            && scaled.width() <= natural.width() && scaled.height() <= natural.height())
            return scaled;
    }
    return natural;
}

// Qt's readers refuse to allocate a picture beyond
// QImageReader::allocationLimit() megabytes, counting at least 32 bits a
// pixel (what the picture takes once converted for the screen), and the read
// then fails as one of damaged data would; a picture no QImage can hold at
// all fails the same way.
bool beyondAllocationLimit(QSize size, QImage::Format format)
{
    if (size.isEmpty())
        return false;
    const int bits = format == QImage::Format_Invalid ? 0 : int(QImage::toPixelFormat(format).bitsPerPixel());
    const int depth = std::max(32, bits);
    if (size.width() > (std::numeric_limits<int>::max() - 31) / depth)
        return true;
    const qint64 bytesPerLine = ((qint64(size.width()) * depth + 31) >> 5) << 2;
    if (bytesPerLine > std::numeric_limits<qint64>::max() / size.height())
        return true;
    const qint64 limitMb = QImageReader::allocationLimit();
    return limitMb > 0 && bytesPerLine * size.height() > (limitMb << 20);
}

} // namespace

DecodeResult decodeReduced(const QByteArray &bytes, QSize wanted)
{
    DecodeResult result;
    // Before the reader sees it: even reading the header would take the memory.
    if (pngChunkRunsPastTheEnd(bytes) || iconsPngChunkRunsPastTheEnd(bytes)) {
        result.error = damagedData();
        return result;
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // The content decides the format, so a .jpg that holds a bitmap still reads.
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize natural = reader.size(); // as stored, before the picture's own orientation
    const bool quarterTurn =
        natural.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90);
    result.naturalSize = quarterTurn ? natural.transposed() : natural;

    QSize decoded = natural;
    if (natural.isValid() && wanted.isValid()) {
        // The display is upright: reduce the picture as shown, then ask the
        // reader for that size as stored.
        const QSize shown = reducedDecodeSize(result.naturalSize, wanted);
        const QSize target = quarterTurn ? shown.transposed() : shown;
        if (target != natural) {
            reader.setScaledSize(target);
            decoded = target;
        }
    }
    // Refused for its size before anything is decoded, whatever Qt prints about it.
    if (natural.isValid()
        && beyondAllocationLimit(allocatedSize(reader, bytes, natural, decoded), reader.imageFormat())) {
        const QSize shown = result.naturalSize;
        result.error = u"图片太大（%1×%2 像素），无法读取。"_s.arg(shown.width()).arg(shown.height());
        return result;
    }

    result.image = reader.read();
    if (!result.image.isNull()) {
        // Decoded whole, the picture is as large as it came out: for a GIF
        // whose screen is far larger than its first frame, Qt's reader
        // reports the frame's size but decodes the screen. Reduced here, then,
        // where the size reported kept the reader from reducing it.
        if (decoded == natural && result.image.size() != result.naturalSize) {
            result.naturalSize = result.image.size();
            const QSize shown = wanted.isValid() ? reducedDecodeSize(result.naturalSize, wanted) : result.naturalSize;
            if (shown != result.naturalSize)
                result.image = result.image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        return result;
    }

    if (bytes.isEmpty())
        result.error = u"这个文件是空的。"_s;
    else if (reader.error() == QImageReader::UnsupportedFormatError)
        result.error = u"这不是程序能识别的图片格式。"_s;
    else
        result.error = damagedData();
    return result;
}

LoadResult QtPictureLoader::load(const QString &path, QSize displaySize)
{
    LoadResult result;
    auto fail = [&result](const QString &why) {
        result.error = why;
        return result;
    };

    const QFileInfo info(path);
    if (!info.exists())
        return fail(info.isSymLink() ? u"这是一个无效的链接，它指向的文件不存在。"_s : u"找不到这个文件。"_s);
    if (info.isDir())
        return fail(u"这是一个文件夹，不是文件。"_s);
    // A pipe or a device would be read forever.
    if (!info.isFile())
        return fail(u"这不是一个普通文件。"_s);
    if (info.size() > MaxPictureFileBytes)
        return fail(u"文件太大（%1 MB），无法读取。"_s.arg(info.size() >> 20));

    if (!info.isReadable())
        return fail(u"没有读取这个文件的权限。"_s);

    const BusyPointer busy;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(u"无法读取这个文件（%1）。"_s.arg(file.errorString()));
    // The file is read once. A sharper decode later comes from these bytes,
    // so the display always shows the file as it was when it was opened,
    // even if it has since been replaced, changed or deleted.
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(u"无法读取这个文件（%1）。"_s.arg(file.errorString()));
    file.close();

    return pictureFromBytes(bytes, displaySize);
}

LoadResult QtPictureLoader::loadData(const QByteArray &bytes, QSize displaySize)
{
    const BusyPointer busy;
    return pictureFromBytes(bytes, displaySize);
}

namespace {

LoadResult pictureFromBytes(const QByteArray &bytes, QSize displaySize)
{
    LoadResult result;
    DecodeResult decoded = decodeReduced(bytes, displaySize);
    if (decoded.image.isNull()) {
        result.error = decoded.error;
        return result;
    }
    LoadedPicture &picture = result.picture;
    picture.image = std::move(decoded.image);
    picture.naturalSize = decoded.naturalSize.isValid() ? decoded.naturalSize : picture.image.size();
    if (picture.image.size() != picture.naturalSize)
        picture.decode = [bytes](QSize wanted) { return decodeReduced(bytes, wanted).image; };
    return result;
}

} // namespace

bool QtPictureLoader::readsType(const QString &mimeType)
{
    static const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    // An alias (image/x-ms-bmp) counts as the type it stands for.
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeType);
    const QString name = type.isValid() ? type.name() : mimeType;
    return readable.contains(name.toLatin1());
}

bool QtPictureLoader::looksReadable(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return false;
    // A name of a type Qt reads is enough while the pointer passes. Any other
    // name (none, an unknown one, .txt) leaves it to the first bytes, as the
    // loader itself goes by the content.
    const QList<QMimeType> byName = QMimeDatabase().mimeTypesForFileName(info.fileName());
    if (std::any_of(byName.begin(), byName.end(), [this](const QMimeType &type) { return readsType(type.name()); }))
        return true;
    return !QImageReader::imageFormat(path).isEmpty();
}

} // namespace lumaro
