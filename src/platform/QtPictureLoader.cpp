#include "platform/QtPictureLoader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>

#include <algorithm>
#include <cstring>
#include <mutex>

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

// Qt's readers refuse a decode beyond QImageReader::allocationLimit() before
// they look at the pixel data, and say so only in a warning; the read itself
// fails like one of damaged data. The warning is noted per thread, and passed
// on to whatever handler was there before.
thread_local bool t_refusedForSize = false;
QtMessageHandler g_previousHandler = nullptr;

void noteSizeRefusal(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && std::strcmp(context.category, "qt.gui.imageio") == 0
        && message.contains(u"allocation limit"))
        t_refusedForSize = true;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

void listenForSizeRefusals()
{
    static std::once_flag once;
    std::call_once(once, [] { g_previousHandler = qInstallMessageHandler(noteSizeRefusal); });
}

} // namespace

DecodeResult decodeReduced(const QByteArray &bytes, QSize wanted)
{
    listenForSizeRefusals();
    t_refusedForSize = false;
    DecodeResult result;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // The content decides the format, so a .jpg that holds a bitmap still reads.
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize natural = reader.size();
    result.naturalSize = natural;
    if (natural.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
        result.naturalSize.transpose();

    if (natural.isValid() && wanted.isValid()) {
        const QSize target = reducedDecodeSize(natural, wanted);
        if (target != natural)
            reader.setScaledSize(target);
    }
    result.image = reader.read();
    if (!result.image.isNull())
        return result;

    if (bytes.isEmpty()) {
        result.error = u"这个文件是空的。"_s;
    } else if (reader.error() == QImageReader::UnsupportedFormatError) {
        result.error = u"这不是程序能识别的图片格式。"_s;
    } else if (t_refusedForSize) {
        result.error = natural.isValid()
                           ? u"图片太大（%1×%2 像素），无法读取。"_s.arg(natural.width()).arg(natural.height())
                           : u"图片太大，无法读取。"_s;
    } else {
        result.error = u"图片数据不完整或已损坏。"_s;
    }
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

    return loadData(bytes, displaySize);
}

LoadResult QtPictureLoader::loadData(const QByteArray &bytes, QSize displaySize)
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
