#include "platform/QtPictureWriter.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QLocale>
#include <QPainter>
#include <QSaveFile>
#include <QStorageInfo>
#include <QtEndian>

#include <limits>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace lumaro {

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

bool writeAll(QIODevice &device, const char *data, qint64 size)
{
    // A write may take only part of the data without any error (a file size
    // limit, a disk filling up); the next write then says why.
    while (size > 0) {
        const qint64 n = device.write(data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

QString openFailure(const QString &path, const QSaveFile &file)
{
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return u"文件夹不存在：%1"_s.arg(QDir::toNativeSeparators(info.absolutePath()));
    if (info.isDir())
        return u"这是一个文件夹，不是文件。"_s;
    return u"无法创建文件（%1）。"_s.arg(file.errorString());
}

// Why writing failed. `reason` must be read before this runs: once cancelled,
// QSaveFile only says that it was cancelled. A disk that has no room for what
// was still to be written (at least a megabyte) is named as full.
QString writeFailure(QSaveFile &file, const QString &reason, qint64 stillToWrite)
{
    QStorageInfo storage(QFileInfo(file.fileName()).absolutePath());
    const bool full = storage.isValid() && storage.bytesAvailable() >= 0
                      && storage.bytesAvailable() < std::max<qint64>(stillToWrite, 1 << 20);
    file.cancelWriting();
    if (full) {
        storage.refresh();
        return u"磁盘空间不足，文件没有写完（这个磁盘上只有 %1 可用；%2）。"_s.arg(
            QLocale().formattedDataSize(std::max<qint64>(0, storage.bytesAvailable())), reason);
    }
    return u"写入失败（%1）。"_s.arg(reason);
}

// Everything buffered goes out and reaches the disk before the file takes the
// name: QSaveFile's commit() takes a failure of its own final flush for
// success, putting a truncated file in place of the old one, and it ignores a
// failed sync. Returns why not, or nothing.
QString flushAndSync(QSaveFile &file)
{
    if (!file.flush())
        return file.errorString();
#ifdef Q_OS_UNIX
    if (::fdatasync(file.handle()) != 0)
        return qt_error_string(errno);
#elif defined(Q_OS_WIN)
    if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()))))
        return qt_error_string(int(::GetLastError()));
#endif
    return {};
}

qint64 bmpFileSize(const QImage &image)
{
    return 54 + qint64(image.width()) * 4 * image.height();
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
    if (!writeAll(device, header, sizeof header))
        return false;
    // Rows bottom-up, gathered into large blocks so that writing takes few calls.
    const int rowsPerBlock = int(std::max<qint64>(1, (4 << 20) / row));
    QByteArray block;
    block.reserve(qsizetype(row) * rowsPerBlock);
    for (int y = src.height() - 1; y >= 0;) {
        block.resize(0);
        for (int n = 0; n < rowsPerBlock && y >= 0; ++n, --y)
            block.append(reinterpret_cast<const char *>(src.constScanLine(y)), qsizetype(row));
        if (!writeAll(device, block.constData(), block.size()))
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

    const QByteArray format = pictureFormatForName(path);
    QByteArray encoded;
    if (format != "BMP") {
        // Encoded in memory first: the encoders do not all notice a write
        // that took only part of their data.
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
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
        if (!writer.write(out))
            return fail(u"无法编码图片（%1）。"_s.arg(writer.errorString()));
    }
    const qint64 size = format == "BMP" ? bmpFileSize(image) : encoded.size();

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(openFailure(path, file));
    const bool written = format == "BMP" ? writeBmp(file, image) : writeAll(file, encoded.constData(), encoded.size());
    const QString reason = written ? flushAndSync(file) : file.errorString();
    if (!reason.isEmpty())
        return fail(writeFailure(file, reason, size - file.pos()));
    if (!file.commit())
        return fail(writeFailure(file, file.errorString(), 0));
    return true;
}

} // namespace lumaro
