#include "platform/QtPictureWriter.h"

#include <QDir>
#include <QtEndian>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

#include <limits>

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

void put16(char *at, quint16 v) { qToLittleEndian(v, at); }
void put32(char *at, quint32 v) { qToLittleEndian(v, at); }

} // namespace

bool writeBmp(QIODevice &device, const QImage &image)
{
    // 32 bits per pixel, bottom-up, plain BITMAPINFOHEADER: every reader
    // takes it, and the rows go out as they are in memory, without the
    // per-pixel repacking that 24-bit rows need.
    const QImage src = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    const qint64 row = qint64(src.width()) * 4;
    const qint64 pixels = row * src.height();
    if (src.isNull() || 54 + pixels > std::numeric_limits<quint32>::max())
        return false;
    char header[54] = {};
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, quint32(54 + pixels));
    put32(header + 10, 54);
    put32(header + 14, 40);
    put32(header + 18, quint32(src.width()));
    put32(header + 22, quint32(src.height()));
    put16(header + 26, 1);
    put16(header + 28, 32);
    put32(header + 34, quint32(pixels));
    put32(header + 38, 3780); // 96 dpi
    put32(header + 42, 3780);
    if (device.write(header, sizeof header) != qint64(sizeof header))
        return false;
    // Rows bottom-up, gathered into large blocks so that writing takes few calls.
    const int rowsPerBlock = int(std::max<qint64>(1, (4 << 20) / row));
    QByteArray block;
    block.reserve(qsizetype(row) * rowsPerBlock);
    for (int y = src.height() - 1; y >= 0;) {
        block.resize(0);
        for (int n = 0; n < rowsPerBlock && y >= 0; ++n, --y)
            block.append(reinterpret_cast<const char *>(src.constScanLine(y)), qsizetype(row));
        if (device.write(block) != block.size())
            return false;
    }
    return true;
}

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
    if (format == "BMP") {
        if (!writeBmp(file, image)) {
            file.cancelWriting();
            return fail(u"写入失败（%1）。"_s.arg(file.errorString()));
        }
        if (!file.commit())
            return fail(u"写入失败，磁盘可能已满（%1）。"_s.arg(file.errorString()));
        return true;
    }
    QImageWriter writer(&file, format);
    if (format == "JPEG")
        writer.setQuality(95);
    // JPEG has no alpha channel; flatten onto white rather than letting
    // transparent pixels come out black.
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
