#include "platform/QtPictureWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

using namespace Qt::StringLiterals;

QByteArray pictureFormatForName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"jpg" || suffix == u"jpeg")
        return "JPEG";
    if (suffix == u"png")
        return "PNG";
    return "BMP";
}

namespace {

QString openFailure(const QString &path, const QSaveFile &file)
{
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return u"文件夹不存在：%1"_s.arg(QDir::toNativeSeparators(info.absolutePath()));
    if (info.isDir())
        return u"这是一个文件夹，不是文件。"_s;
    return u"无法创建文件（%1）。"_s.arg(file.errorString());
}

} // namespace

bool QtPictureWriter::write(const QImage &image, const QString &path, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (image.isNull())
        return fail(u"没有可保存的图片。"_s);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(openFailure(path, file));

    const QByteArray format = pictureFormatForName(path);
    QImageWriter writer(&file, format);
    if (format == "JPEG")
        writer.setQuality(95);
    // JPEG and BMP have no alpha channel; flatten onto white rather than
    // letting transparent pixels come out black.
    QImage out = image;
    if (format != "PNG" && image.hasAlphaChannel()) {
        out = QImage(image.size(), QImage::Format_RGB32);
        out.fill(Qt::white);
        QPainter(&out).drawImage(0, 0, image);
    }
    if (!writer.write(out)) {
        file.cancelWriting();
        return fail(u"写入失败（%1）。"_s.arg(writer.errorString()));
    }
    if (!file.commit())
        return fail(u"写入失败，磁盘可能已满（%1）。"_s.arg(file.errorString()));
    return true;
}
