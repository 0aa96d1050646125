// The Qt implementations where they do real work: writing and reading picture
// files, the reduced decode of big pictures, the dialog's file types and
// loading the capture library, and what is left in memory.

#include "platform/BusAhead.h"
#include "platform/DialogClose.h"
#include "platform/FocusGuard.h"
#include "platform/FreeMemory.h"
#include "platform/QtCaptureLibrary.h"
#include "platform/QtCommonDialog.h"
#include "platform/QtPictureLoader.h"
#include "platform/QtPictureWriter.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QLoggingCategory>
#include <QPixmapCache>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <latch>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/stat.h>
#include <csignal>
#include <unistd.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace Qt::StringLiterals;
using namespace lumaro;

class TestPlatform : public QObject
{
    Q_OBJECT
private slots:
    void formatFollowsTheName_data();
    void formatFollowsTheName();
    void writtenFilesReadBack_data();
    void writtenFilesReadBack();
    void writingIntoAMissingFolderFails();
    void failedWriteLeavesTheOldFile();
    void writeErrorSaysWhyNotCancelled();
    void embeddedPicturesLoad();
    void everyFormatOpens_data();
    void everyFormatOpens();
    void badFilesGiveAReasonNotACrash_data();
    void badFilesGiveAReasonNotACrash();
    void tooLargeIsTheReadersVerdictNotItsWarning_data();
    void tooLargeIsTheReadersVerdictNotItsWarning();
    void filesThatAreNotPicturesAreRefusedUnread();
    void dragGuessGoesByNameThenContent_data();
    void dragGuessGoesByNameThenContent();
    void pictureDataLoadsLikeAFile();
    void bigPicturesDecodeReducedAndSharpenLater();
    void sharperDecodeShowsTheFileAsItWasOpened();
    void hugeJpegOpensReduced();
    void turnedPhotoIsReducedAsShown();
    void gifLargerThanItsReportedSizeIsReducedToo();
    void reducedDecodeSize_data();
    void reducedDecodeSize();
    void filterTextBecomesFileTypes();
    void missingCaptureLibraryFails();
    void inputWaitsWhileTheFocusWindowIsGone_data();
    void inputWaitsWhileTheFocusWindowIsGone();
    void doneDialogsKeepTheirWindowUntilTheyHide_data();
    void doneDialogsKeepTheirWindowUntilTheyHide();
    void iconsDrawnOnceLeaveNothingBehind();
    void clipboardDataGoesOnceReplaced();
    void busAheadLeavesQtItsMainThread();
    void threadsAllocatingTogetherShareOneHeap();

private:
    QTemporaryDir m_dir;
};

namespace {

QImage pattern(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 255) / w, (y * 255) / h, ((x + y) * 255) / (w + h)));
    return img;
}

// Pixels no encoder can squeeze much.
[[maybe_unused]] QImage noise(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    quint32 x = 12345;
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < w; ++i) {
            x = x * 1664525u + 1013904223u;
            img.setPixel(i, y, x >> 8);
        }
    return img;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

quint32 crc32Of(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char c : data) {
        crc ^= uchar(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray chunk;
    for (int sh = 24; sh >= 0; sh -= 8)
        chunk.append(char((data.size() >> sh) & 0xff));
    const quint32 crc = crc32Of(type + data);
    chunk.append(type).append(data);
    for (int sh = 24; sh >= 0; sh -= 8)
        chunk.append(char((crc >> sh) & 0xff));
    return chunk;
}

// A PNG that declares the given size but whose pixel data breaks off at once.
QByteArray pngDeclaring(quint32 w, quint32 h, char depth = 8, char interlace = 0)
{
    QByteArray ihdr;
    for (quint32 v : { w, h })
        for (int sh = 24; sh >= 0; sh -= 8)
            ihdr.append(char((v >> sh) & 0xff));
    ihdr.append(depth).append('\x02').append('\0').append('\0').append(interlace); // RGB
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", "\x78\x9c")
           + pngChunk("IEND", {});
}

// A baseline greyscale JPEG of any size whose every 8x8 block is mid-grey:
// each block codes as DC difference 0 ("00") and end of block ("1010") with
// the standard tables, so even 20000 x 20000 pixels take only 4.7 MB.
QByteArray flatGreyJpeg(int w, int h)
{
    QByteArray j("\xFF\xD8", 2);
    auto segment = [&j](uchar marker, const QByteArray &body) {
        j.append(char(0xFF)).append(char(marker));
        j.append(char((body.size() + 2) >> 8)).append(char((body.size() + 2) & 0xff)).append(body);
    };
    segment(0xDB, QByteArray(1, 0) + QByteArray(64, 1)); // quantisation: all ones
    QByteArray sof("\x08", 1);
    sof.append(char(h >> 8)).append(char(h & 0xff)).append(char(w >> 8)).append(char(w & 0xff));
    sof.append("\x01\x01\x11\x00", 4);
    segment(0xC0, sof);
    // Standard luminance DC and AC Huffman tables.
    const uchar dcCounts[16] = { 0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0 };
    QByteArray dht(1, 0x00);
    dht.append(reinterpret_cast<const char *>(dcCounts), 16);
    for (int v = 0; v < 12; ++v)
        dht.append(char(v));
    segment(0xC4, dht);
    const uchar acCounts[16] = { 0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d };
    const uchar acValues[162] = {
        0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22,
        0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33,
        0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34,
        0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55,
        0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76,
        0x77, 0x78, 0x79, 0x7a, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96,
        0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5,
        0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4,
        0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1,
        0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa,
    };
    QByteArray ac(1, 0x10);
    ac.append(reinterpret_cast<const char *>(acCounts), 16);
    ac.append(reinterpret_cast<const char *>(acValues), 162);
    segment(0xC4, ac);
    segment(0xDA, QByteArray("\x01\x01\x00\x00\x3f\x00", 6));
    // "001010" per block; four blocks fill three bytes exactly.
    const qint64 blocks = qint64((w + 7) / 8) * ((h + 7) / 8);
    QByteArray scan;
    scan.reserve(qsizetype(blocks * 6 / 8 + 4));
    for (qint64 b = 0; b + 4 <= blocks; b += 4)
        scan.append("\x28\xA2\x8A", 3);
    const qint64 rest = blocks % 4; // pad the last byte with ones
    if (rest) {
        const quint32 bits = (0x28A28Au >> (6 * (4 - rest))) << (24 - 6 * rest) | ((1u << (24 - 6 * rest)) - 1);
        for (int k = 0; k < int(6 * rest + 7) / 8; ++k)
            scan.append(char((bits >> (16 - 8 * k)) & 0xff));
    }
    j.append(scan).append("\xFF\xD9", 2);
    return j;
}

// A JPEG's headers, up to and including the start of its scan, with another
// size in its frame header: what the reader sees before any pixel data.
QByteArray jpegHeadersDeclaring(const QByteArray &jpeg, int w, int h)
{
    QByteArray j = jpeg;
    const int sof = int(j.indexOf("\xFF\xC0"));
    j[sof + 5] = char(h >> 8);
    j[sof + 6] = char(h & 0xff);
    j[sof + 7] = char(w >> 8);
    j[sof + 8] = char(w & 0xff);
    const int sos = int(j.indexOf("\xFF\xDA"));
    return j.left(sos + 2 + (uchar(j[sos + 2]) << 8 | uchar(j[sos + 3])));
}

// The same JPEG with an Exif orientation (6: shown turned a quarter clockwise).
QByteArray withExifOrientation(const QByteArray &jpeg, int orientation)
{
    QByteArray tiff("MM\0\x2a\0\0\0\x08", 8);  // big-endian, first directory at 8
    tiff.append("\0\x01", 2);                    // one entry:
    tiff.append("\x01\x12\0\x03\0\0\0\x01", 8); // Orientation, SHORT, one value
    tiff.append(char(0)).append(char(orientation)).append(2, '\0');
    tiff.append(4, '\0'); // no further directory
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char((body.size() + 2) >> 8)).append(char((body.size() + 2) & 0xff)).append(body);
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

QByteArray encoded(const QImage &image, const char *format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return buffer.data();
}

// One damaged byte in a small PNG: the length of its last chunk of `type`
// raised by 0x32000000 (800 MB), far past the end of the file.
QByteArray withLengthDamaged(QByteArray png, const char *type)
{
    const qsizetype at = png.lastIndexOf(type) - 4;
    if (at < 8)
        return {};
    png[at] = char(png.at(at) | 0x32);
    return png;
}

// An icon whose one picture is `png`, stored as it is.
QByteArray iconHolding(const QByteArray &png)
{
    // An icon of one picture: 16 x 16, one plane, 32 bits; the size of its
    // data, and where that starts.
    QByteArray ico("\0\0\1\0\1\0"
                   "\x10\x10\0\0\1\0\x20\0",
                   14);
    for (const quint32 v : { quint32(png.size()), quint32(6 + 16) })
        for (int sh = 0; sh < 32; sh += 8)
            ico.append(char((v >> sh) & 0xff));
    return ico + png;
}

// The most memory this process has held at once so far, in kB; -1 where
// that is not known.
long peakMemoryKb()
{
#ifdef Q_OS_LINUX
    rusage usage{};
    return ::getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
#else
    return -1;
#endif
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

void TestPlatform::formatFollowsTheName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("bmp") << u"a.bmp"_s << QByteArray("BMP");
    QTest::newRow("jpg") << u"a.jpg"_s << QByteArray("JPEG");
    QTest::newRow("JPEG upper") << u"a.JPEG"_s << QByteArray("JPEG");
    QTest::newRow("png") << u"a.Png"_s << QByteArray("PNG");
    QTest::newRow("other") << u"a.gif"_s << QByteArray("BMP");
    QTest::newRow("no suffix") << u"picture"_s << QByteArray("BMP");
    QTest::newRow("dot in folder") << u"/x.png/picture"_s << QByteArray("BMP");
}

void TestPlatform::formatFollowsTheName()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QCOMPARE(pictureFormatForName(name), format);
}

void TestPlatform::writtenFilesReadBack_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("magic");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("bmp") << u"截图 一.bmp"_s << QByteArray("BM") << 0;
    QTest::newRow("png") << u"截图 二.png"_s << QByteArray("\x89PNG") << 0;
    QTest::newRow("jpg") << u"截图 三.jpg"_s << QByteArray("\xFF\xD8\xFF") << 12;
    QTest::newRow("unknown suffix is bmp") << u"截图.tiff"_s << QByteArray("BM") << 0;
}

void TestPlatform::writtenFilesReadBack()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, magic);
    QFETCH(int, tolerance);
    const QImage image = pattern(64, 48);
    const QString path = m_dir.filePath(name);
    QtPictureWriter writer;
    QString error;
    QVERIFY2(writer.write(image, path, &error), qPrintable(error));
    QVERIFY(readAll(path).startsWith(magic));

    QtPictureLoader loader;
    const LoadResult back = loader.load(path, QSize(64, 48));
    QVERIFY2(!back.picture.isNull(), qPrintable(back.error));
    const QImage got = back.picture.image.convertToFormat(QImage::Format_RGB32);
    QCOMPARE(got.size(), image.size());
    int worst = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const QRgb a = got.pixel(x, y), b = image.pixel(x, y);
            worst = std::max({ worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                               std::abs(qBlue(a) - qBlue(b)) });
        }
    QVERIFY2(worst <= tolerance, qPrintable(QString::number(worst)));
}

void TestPlatform::writingIntoAMissingFolderFails()
{
    QtPictureWriter writer;
    QString error;
    const QString path = m_dir.filePath(u"no such folder/a.bmp"_s);
    QVERIFY(!writer.write(pattern(4, 4), path, &error));
    QVERIFY2(error.contains(u"文件夹不存在"_s), qPrintable(error));
    QVERIFY(!QFile::exists(path));
}

void TestPlatform::failedWriteLeavesTheOldFile()
{
    const QString path = m_dir.filePath(u"keep.bmp"_s);
    QtPictureWriter writer;
    QString error;
    QVERIFY(writer.write(pattern(8, 8), path, &error));
    const QByteArray before = readAll(path);
    // A picture that cannot be encoded: nothing may reach the file.
    QVERIFY(!writer.write(QImage(), path, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(path), before);
    // A folder standing where the file should go.
    QVERIFY(QDir(m_dir.path()).mkdir(u"taken.bmp"_s));
    QVERIFY(!writer.write(pattern(8, 8), m_dir.filePath(u"taken.bmp"_s), &error));
    QVERIFY(!error.isEmpty());
}

void TestPlatform::writeErrorSaysWhyNotCancelled()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a file size limit (setrlimit)");
#else
    // A file size limit makes the write fail part way, as a full disk does.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"old.bmp"_s);
    QtPictureWriter writer;
    QString error;
    QVERIFY(writer.write(pattern(8, 8), path, &error));
    const QByteArray before = readAll(path);

    for (const char *name : { "new.bmp", "new.png" }) {
        const QString target = name == std::string_view("new.bmp") ? path : dir.filePath(u"old.png"_s);
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 16 * 1024;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = writer.write(noise(400, 300), target, &error);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!written);
        QVERIFY2(!error.contains(u"cancel"_s, Qt::CaseInsensitive) && !error.contains(u"取消"_s), qPrintable(error));
        QVERIFY2(error.contains(u"File too large"_s), qPrintable(error));
    }
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
             QStringList{ u"old.bmp"_s });
#endif
}

void TestPlatform::embeddedPicturesLoad()
{
    QtPictureLoader loader;
    const LoadResult jpg = loader.load(u":/window/default.jpg"_s, QSize(200, 192));
    QCOMPARE(jpg.picture.image.size(), QSize(200, 200));
    const LoadResult ico = loader.load(u":/window/lumaro.ico"_s, QSize(200, 192));
    QCOMPARE(ico.picture.image.size(), QSize(32, 32));
}

void TestPlatform::everyFormatOpens_data()
{
    // One small real file per format this Qt reads, plus odd but valid ones.
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    const QDir data(QStringLiteral(LUMARO_TEST_DATA));
    const QStringList files = data.entryList(QDir::Files);
    QVERIFY(files.size() >= 14);
    for (const QString &name : files)
        QTest::newRow(qPrintable(name)) << data.filePath(name)
                                        << (name.contains(u"animated"_s) ? QSize(6, 6) : QSize(12, 9));
}

void TestPlatform::everyFormatOpens()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QtPictureLoader loader;
    const LoadResult r = loader.load(file, QSize(200, 192));
    QVERIFY2(!r.picture.isNull(), qPrintable(r.error));
    QCOMPARE(r.picture.image.size(), size);
    QCOMPARE(r.picture.naturalSize, size);
    // A drag of the same file is welcome.
    QVERIFY(loader.looksReadable(file));
}

void TestPlatform::dragGuessGoesByNameThenContent_data()
{
    // What a drag of a file shows before it is dropped: a name of a type Qt
    // reads is believed; any other name is judged by the first bytes.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("content"); // a file of tests/data, "text", or "folder"
    QTest::addColumn<bool>("welcome");
    QTest::newRow("picture.png") << u"picture.png"_s << u"sample.png"_s << true;
    QTest::newRow("PHOTO.JPG") << u"PHOTO.JPG"_s << u"sample.jpg"_s << true;
    QTest::newRow("a cursor (no readable type by name)") << u"pointer.cur"_s << u"sample.cur"_s << true;
    QTest::newRow("no extension, PNG inside") << u"picture"_s << u"sample.png"_s << true;
    QTest::newRow(".txt, GIF inside") << u"picture.txt"_s << u"sample.gif"_s << true;
    QTest::newRow("text named .txt") << u"notes.txt"_s << u"text"_s << false;
    QTest::newRow("text without extension") << u"README"_s << u"text"_s << false;
    QTest::newRow("text named .png (the drop will say so)") << u"fake.png"_s << u"text"_s << true;
    QTest::newRow("a folder named .png") << u"folder.png"_s << u"folder"_s << false;
    QTest::newRow("missing") << u"gone.png"_s << QString() << false;
}

void TestPlatform::dragGuessGoesByNameThenContent()
{
    QFETCH(QString, name);
    QFETCH(QString, content);
    QFETCH(bool, welcome);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (content == u"folder"_s) {
        QVERIFY(QDir(dir.path()).mkdir(name));
    } else if (content == u"text"_s) {
        QFile text(path);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("Notes for later.\nNothing to see here.\n");
    } else if (!content.isEmpty()) {
        QVERIFY(QFile::copy(QStringLiteral(LUMARO_TEST_DATA "/") + content, path));
    }
    QtPictureLoader loader;
    QCOMPARE(loader.looksReadable(path), welcome);
}

void TestPlatform::pictureDataLoadsLikeAFile()
{
    QtPictureLoader loader;
    QVERIFY(loader.readsType(u"image/png"_s));
    QVERIFY(loader.readsType(u"image/x-bmp"_s)); // an alias of image/bmp
    QVERIFY(!loader.readsType(u"text/plain"_s));
    QVERIFY(!loader.readsType(u"text/uri-list"_s));

    // A big picture's data decodes reduced and keeps its bytes for a sharper
    // decode, as a file's does.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(pattern(1600, 1200).save(&buffer, "JPG"));
    const LoadResult big = loader.loadData(bytes, QSize(200, 192));
    QVERIFY2(!big.picture.isNull(), qPrintable(big.error));
    QCOMPARE(big.picture.naturalSize, QSize(1600, 1200));
    QCOMPARE(big.picture.image.size(), QSize(400, 300));
    QVERIFY(big.picture.decode);
    QCOMPARE(big.picture.decode(QSize(800, 600)).size(), QSize(800, 600));

    const LoadResult text = loader.loadData("<html>not a picture</html>", QSize(200, 192));
    QVERIFY(text.picture.isNull());
    QCOMPARE(text.error, u"这不是程序能识别的图片格式。"_s);
    QCOMPARE(loader.loadData({}, QSize(200, 192)).error, u"这个文件是空的。"_s);
}

void TestPlatform::badFilesGiveAReasonNotACrash_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason"); // empty: it opens, as much of it as there is
    QTest::addColumn<QSize>("size");     // of the picture that opens
    const QByteArray jpeg = encoded(pattern(64, 48), "JPEG");
    const int scan = int(jpeg.indexOf("\xFF\xDA"));
    QVERIFY(scan > 0);
    QTest::newRow("zero bytes") << u"bad.jpg"_s << QByteArray() << u"这个文件是空的。"_s << QSize();
    QTest::newRow("text") << u"bad.jpg"_s << QByteArray("hello, not a picture\n")
                          << u"这不是程序能识别的图片格式。"_s << QSize();
    // The default picture's first third ends inside its long comment, before any frame header.
    const QByteArray withComment = readAll(u":/window/default.jpg"_s);
    QTest::newRow("jpeg cut before its frame") << u"bad.jpg"_s << withComment.left(withComment.size() / 3)
                                               << u"图片数据不完整或已损坏。"_s << QSize();
    QTest::newRow("jpeg cut at its scan") << u"bad.jpg"_s << jpeg.left(scan) << u"图片数据不完整或已损坏。"_s
                                          << QSize();
    // Cut half way through its pixel data: the part that is there opens.
    QTest::newRow("jpeg cut in its pixels") << u"bad.jpg"_s << jpeg.left(scan + (jpeg.size() - scan) / 2)
                                            << QString() << QSize(64, 48);
    // Qt decodes 8-bit PNGs row by row at the reduced size, but 16-bit and
    // interlaced ones whole, beyond its allocation limit: too large, not damaged.
    QTest::newRow("png 20000 x 20000, 16-bit") << u"bad.png"_s << pngDeclaring(20000, 20000, 16)
                                               << u"图片太大（20000×20000 像素），无法读取。"_s << QSize();
    QTest::newRow("png 100000 x 100000, interlaced") << u"bad.png"_s << pngDeclaring(100000, 100000, 8, 1)
                                                     << u"图片太大（100000×100000 像素），无法读取。"_s << QSize();
    QTest::newRow("png 20000 x 20000 without its data") << u"bad.png"_s << pngDeclaring(20000, 20000)
                                                        << u"图片数据不完整或已损坏。"_s << QSize();
    QTest::newRow("png 3000 x 2000 without its data") << u"bad.png"_s << pngDeclaring(3000, 2000)
                                                      << u"图片数据不完整或已损坏。"_s << QSize();
    // A text chunk whose length says 800 MB, after the pixel data or before
    // it: libpng would set aside and clear that much before finding the
    // file ends.
    const QByteArray textAfter =
        withLengthDamaged(readAll(QStringLiteral(LUMARO_TEST_DATA) + u"/sample-16bit.png"_s), "tEXt");
    QImage described = pattern(16, 16);
    described.setText(u"Title"_s, u"A picture"_s);
    const QByteArray textBefore = withLengthDamaged(encoded(described, "PNG"), "tEXt");
    QVERIFY(!textAfter.isEmpty() && !textBefore.isEmpty());
    QVERIFY(textBefore.indexOf("tEXt") < textBefore.indexOf("IDAT"));
    // Qt's reader supplies the CRC after IEND when a file lacks it.
    QTest::newRow("png without its last CRC") << u"bad.png"_s << encoded(pattern(16, 16), "PNG").chopped(4)
                                              << QString() << QSize(16, 16);
    // Nothing after IEND is read, whatever it looks like.
    QTest::newRow("png with bytes after its end")
        << u"bad.png"_s << encoded(pattern(16, 16), "PNG") + QByteArray("\x7f\xff\xff\xfftEXt", 8) << QString()
        << QSize(16, 16);
    QTest::newRow("png whose last text chunk runs 800 MB past the end")
        << u"bad.png"_s << textAfter << u"图片数据不完整或已损坏。"_s << QSize();
    QTest::newRow("png whose text chunk before its pixels runs 800 MB past the end")
        << u"bad.png"_s << textBefore << u"图片数据不完整或已损坏。"_s << QSize();
    // An icon may hold its picture as a PNG.
    QTest::newRow("icon holding a png") << u"bad.ico"_s << iconHolding(encoded(pattern(16, 16), "PNG")) << QString()
                                        << QSize(16, 16);
    QTest::newRow("icon holding that damaged png")
        << u"bad.ico"_s << iconHolding(textAfter) << u"图片数据不完整或已损坏。"_s << QSize();
}

void TestPlatform::badFilesGiveAReasonNotACrash()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QFETCH(QSize, size);
    const QString path = m_dir.filePath(name);
    QVERIFY(writeFile(path, bytes));
    QtPictureLoader loader;
    const long peakBefore = peakMemoryKb();
    const LoadResult r = loader.load(path, QSize(200, 192));
    // Whatever became of the file, the pointer is no longer busy.
    QVERIFY(!QGuiApplication::overrideCursor());
    // None of these files is more than a few kB, nor decodes to more than a
    // small picture: reading one never raises the process's peak by 64 MB.
    if (peakBefore >= 0) {
        const long rise = peakMemoryKb() - peakBefore;
        QVERIFY2(rise < 64 * 1024, qPrintable(u"the peak rose by %1 MB"_s.arg(rise / 1024)));
    }
    if (reason.isEmpty()) {
        QVERIFY2(!r.picture.isNull(), qPrintable(r.error));
        QCOMPARE(r.picture.image.size(), size);
        // The top rows are the picture's own, not filler.
        const QRgb corner = r.picture.image.pixel(0, 0);
        QVERIFY2(qRed(corner) < 40 && qGreen(corner) < 40, qPrintable(QColor(corner).name()));
    } else {
        QVERIFY(r.picture.isNull());
        QCOMPARE(r.error, reason);
    }
}

void TestPlatform::tooLargeIsTheReadersVerdictNotItsWarning_data()
{
    // Headers without their pixel data: too large for the reader, or else
    // damaged (PNG) or grey where the data is missing (JPEG). The limit counts
    // at least 32 bits a pixel, at the size that would actually be decoded:
    // JPEG at no less than an eighth, 8-bit PNG at the display's size.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("display"); // invalid: whole
    QTest::addColumn<QString>("reason"); // empty: opens
    const QByteArray rgb = encoded(pattern(16, 16), "JPEG");
    const QByteArray grey = encoded(pattern(16, 16).convertToFormat(QImage::Format_Grayscale8), "JPEG");
    const QSize small(200, 192);
    const QString damaged = u"图片数据不完整或已损坏。"_s;
    auto tooLarge = [](int w, int h) { return u"图片太大（%1×%2 像素），无法读取。"_s.arg(w).arg(h); };
    // With the limit at 8 MB: 1448 x 1448 x 4 bytes fit, 1449 x 1449 x 4 do not.
    QTest::newRow("png rgb 1448, whole") << pngDeclaring(1448, 1448) << QSize() << damaged;
    QTest::newRow("png rgb 1449, whole") << pngDeclaring(1449, 1449) << QSize() << tooLarge(1449, 1449);
    QTest::newRow("png rgb 1449, reduced") << pngDeclaring(1449, 1449) << small << damaged;
    QTest::newRow("png rgb 1449 interlaced, reduced") << pngDeclaring(1449, 1449, 8, 1) << small
                                                      << tooLarge(1449, 1449);
    QTest::newRow("png 16-bit 1025 x 1024, whole") << pngDeclaring(1025, 1024, 16) << QSize() << tooLarge(1025, 1024);
    QTest::newRow("png 16-bit 1024 x 1024, whole") << pngDeclaring(1024, 1024, 16) << QSize() << damaged;
    QTest::newRow("jpeg rgb 1449, whole") << jpegHeadersDeclaring(rgb, 1449, 1449) << QSize() << tooLarge(1449, 1449);
    QTest::newRow("jpeg grey 1449, whole") << jpegHeadersDeclaring(grey, 1449, 1449) << QSize()
                                           << tooLarge(1449, 1449);
    // Reduced: an eighth of 11584 is 1448, of 11592 1449, whatever the display.
    QTest::newRow("jpeg 11584, reduced") << jpegHeadersDeclaring(grey, 11584, 11584) << small << QString();
    QTest::newRow("jpeg 11592, reduced") << jpegHeadersDeclaring(grey, 11592, 11592) << small
                                         << tooLarge(11592, 11592);
    QTest::newRow("jpeg 2898, at half") << jpegHeadersDeclaring(rgb, 2898, 2898) << QSize(1449, 1449)
                                        << tooLarge(2898, 2898);
    QTest::newRow("jpeg 2898, at a quarter") << jpegHeadersDeclaring(rgb, 2898, 2898) << QSize(725, 725)
                                            << QString();
}

void TestPlatform::tooLargeIsTheReadersVerdictNotItsWarning()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, display);
    QFETCH(QString, reason);
    const auto restore = qScopeGuard([limit = QImageReader::allocationLimit()] {
        QImageReader::setAllocationLimit(limit);
        QLoggingCategory::setFilterRules(QString());
    });
    QImageReader::setAllocationLimit(8);
    // Whether Qt's image warnings are printed, or switched off as a user's
    // QT_LOGGING_RULES may do, changes nothing.
    for (const QString &rules : { QString(), u"qt.gui.imageio=false"_s, u"qt.gui.imageio*=false"_s }) {
        QLoggingCategory::setFilterRules(rules);
        const DecodeResult r = decodeReduced(bytes, display);
        QLoggingCategory::setFilterRules(QString());
        if (reason.isEmpty())
            QVERIFY2(!r.image.isNull(), qPrintable(rules + u": "_s + r.error));
        else
            QVERIFY2(r.image.isNull() && r.error == reason, qPrintable(rules + u": "_s + r.error));
    }
}

void TestPlatform::filesThatAreNotPicturesAreRefusedUnread()
{
    QtPictureLoader loader;
    auto reason = [&loader](const QString &path) {
        const LoadResult r = loader.load(path, QSize(200, 192));
        return r.picture.isNull() ? r.error : u"opened"_s;
    };
    QCOMPARE(reason(m_dir.filePath(u"missing.png"_s)), u"找不到这个文件。"_s);
    QVERIFY(QDir(m_dir.path()).mkdir(u"folder.jpg"_s));
    QCOMPARE(reason(m_dir.filePath(u"folder.jpg"_s)), u"这是一个文件夹，不是文件。"_s);
#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(m_dir.filePath(u"nowhere.png"_s), m_dir.filePath(u"dangling.png"_s)));
    QCOMPARE(reason(m_dir.filePath(u"dangling.png"_s)), u"这是一个无效的链接，它指向的文件不存在。"_s);
    // A pipe or a device would never end: neither is read at all.
    QCOMPARE(::mkfifo(QFile::encodeName(m_dir.filePath(u"pipe.jpg"_s)).constData(), 0600), 0);
    QCOMPARE(reason(m_dir.filePath(u"pipe.jpg"_s)), u"这不是一个普通文件。"_s);
    QCOMPARE(reason(u"/dev/zero"_s), u"这不是一个普通文件。"_s);
#endif
    // A sparse file far beyond any picture is not read into memory.
    {
        QFile sparse(m_dir.filePath(u"huge.jpg"_s));
        QVERIFY(sparse.open(QIODevice::WriteOnly));
        QVERIFY(sparse.resize(MaxPictureFileBytes + 1));
    }
    QVERIFY(reason(m_dir.filePath(u"huge.jpg"_s)).startsWith(u"文件太大"_s));
#ifdef Q_OS_UNIX
    if (::geteuid() != 0) { // root reads everything
        const QString locked = m_dir.filePath(u"locked.png"_s);
        QVERIFY(QImage(4, 4, QImage::Format_RGB32).save(locked));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
        QCOMPARE(reason(locked), u"没有读取这个文件的权限。"_s);
    }
#endif
}

void TestPlatform::bigPicturesDecodeReducedAndSharpenLater()
{
    const QString path = m_dir.filePath(u"big.jpg"_s);
    QVERIFY(pattern(4000, 3000).save(path, "JPEG", 90));
    QtPictureLoader loader;
    const LoadResult r = loader.load(path, QSize(200, 192));
    QVERIFY(!r.picture.isNull());
    QCOMPARE(r.picture.naturalSize, QSize(4000, 3000));
    QCOMPARE(r.picture.image.size(), QSize(500, 375));
    QVERIFY(r.picture.decode);
    QCOMPARE(r.picture.decode(QSize(1998, 1918)).size(), QSize(4000, 3000));
    QCOMPARE(r.picture.decode(QSize(900, 700)).size(), QSize(1000, 750));
}

void TestPlatform::sharperDecodeShowsTheFileAsItWasOpened()
{
    // Replaced (as a save under the same name does), rewritten in place, deleted.
    for (int change = 0; change < 3; ++change) {
        const QString path = m_dir.filePath(u"changing.jpg"_s);
        QImage red(2000, 1500, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(path, "JPEG", 90));
        QtPictureLoader loader;
        const LoadResult r = loader.load(path, QSize(200, 192));
        QVERIFY(r.picture.decode);

        QImage blue = red;
        blue.fill(Qt::blue);
        if (change == 0) {
            QtPictureWriter writer;
            QString error;
            QVERIFY(writer.write(blue, path, &error));
        } else if (change == 1) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite)); // same file, new contents
            QBuffer encoded;
            encoded.open(QIODevice::WriteOnly);
            QVERIFY(blue.save(&encoded, "JPEG", 90));
            QVERIFY(f.write(encoded.data()) > 0);
        } else {
            QVERIFY(QFile::remove(path));
        }
        const QImage sharper = r.picture.decode(QSize(2000, 1500));
        QCOMPARE(sharper.size(), QSize(2000, 1500));
        const QColor c = sharper.pixelColor(1000, 700);
        QVERIFY2(c.red() > 200 && c.blue() < 60, qPrintable(c.name()));
    }
}

void TestPlatform::hugeJpegOpensReduced()
{
    // Too large to decode whole within Qt's allocation limit, but JPEG decodes
    // at an eighth natively, so it opens, and a sharper copy can follow.
    const QString path = m_dir.filePath(u"huge.jpg"_s);
    QVERIFY(writeFile(path, flatGreyJpeg(20000, 20000)));
    QtPictureLoader loader;
    const LoadResult r = loader.load(path, QSize(200, 192));
    QVERIFY2(!r.picture.isNull(), qPrintable(r.error));
    QCOMPARE(r.picture.naturalSize, QSize(20000, 20000));
    QCOMPARE(r.picture.image.size(), QSize(313, 313));
    QCOMPARE(qGray(r.picture.image.pixel(100, 100)), 128);
    QCOMPARE(r.picture.decode(QSize(1998, 1918)).size(), QSize(2500, 2500));
    QVERIFY(r.picture.decode(QSize(20000, 20000)).isNull()); // whole: refused, not a crash
}

void TestPlatform::turnedPhotoIsReducedAsShown()
{
    // Stored 396 x 400 and turned a quarter by its Exif orientation: shown
    // 400 x 396, which halves once and still covers 200 x 192 (stored, 198
    // would not cover 200).
    QImage stored = pattern(396, 400);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            stored.setPixel(x, y, qRgb(255, 255, 255)); // top-left as stored
    const QString path = m_dir.filePath(u"turned.jpg"_s);
    QVERIFY(writeFile(path, withExifOrientation(encoded(stored, "JPEG"), 6)));
    QtPictureLoader loader;
    const LoadResult r = loader.load(path, QSize(200, 192));
    QVERIFY2(!r.picture.isNull(), qPrintable(r.error));
    QCOMPARE(r.picture.naturalSize, QSize(400, 396));
    QCOMPARE(r.picture.image.size(), QSize(200, 198));
    // Turned clockwise, the stored top-left corner is at the top right.
    QCOMPARE(qGray(r.picture.image.pixel(195, 4)) > 200, true);
    QCOMPARE(qGray(r.picture.image.pixel(4, 4)) > 200, false);
    QCOMPARE(r.picture.decode(QSize(400, 396)).size(), QSize(400, 396));
}

void TestPlatform::gifLargerThanItsReportedSizeIsReducedToo()
{
    // Its screen ten times wider than its only frame: Qt's reader reports
    // the frame's width, but decodes the whole screen.
    QByteArray gif = readAll(QStringLiteral(LUMARO_TEST_DATA) + u"/sample.gif"_s);
    QVERIFY(gif.startsWith("GIF"));
    const char screen[4] = { char(2400 & 0xff), char(2400 >> 8), char(1800 & 0xff), char(1800 >> 8) };
    gif.replace(6, 4, screen, 4);
    const DecodeResult r = decodeReduced(gif, QSize(200, 192));
    QVERIFY2(!r.image.isNull(), qPrintable(r.error));
    QCOMPARE(r.naturalSize, QSize(2400, 1800));
    QCOMPARE(r.image.size(), QSize(300, 225));
}

void TestPlatform::reducedDecodeSize_data()
{
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<QSize>("wanted");
    QTest::addColumn<QSize>("decoded");
    QTest::newRow("6000x4000 for 200x192") << QSize(6000, 4000) << QSize(200, 192) << QSize(375, 250);
    QTest::newRow("smaller than the display") << QSize(100, 100) << QSize(200, 192) << QSize(100, 100);
    QTest::newRow("odd sizes round up") << QSize(1001, 999) << QSize(250, 250) << QSize(251, 250);
    QTest::newRow("20000 square") << QSize(20000, 20000) << QSize(200, 192) << QSize(313, 313);
    QTest::newRow("collapsed display") << QSize(800, 600) << QSize(0, 0) << QSize(1, 1);
}

void TestPlatform::reducedDecodeSize()
{
    QFETCH(QSize, natural);
    QFETCH(QSize, wanted);
    QFETCH(QSize, decoded);
    QCOMPARE(::reducedDecodeSize(natural, wanted), decoded);
}

void TestPlatform::filterTextBecomesFileTypes()
{
    QCOMPARE(nameFiltersFromFilterText(u"jpg,bmp,png"_s),
             (QStringList{ u"图片 (*.jpg *.bmp *.png)"_s, u"所有文件 (*)"_s }));
    QCOMPARE(nameFiltersFromFilterText(u""_s), QStringList{ u"所有文件 (*)"_s });
}

void TestPlatform::missingCaptureLibraryFails()
{
    QtCaptureLibrary capture(m_dir.path());
    const CaptureResult r = capture.CameraSubArea();
    QCOMPARE(r.status, CaptureStatus::Failed);
    QVERIFY(r.error.contains(u"无法加载截图组件"_s));
}

// The window system's focus can arrive for a window whose platform window
// has just gone, or stay a moment on a dialog just hidden. Keys and clicks
// wait until the focus has moved on (Qt 6.4 under Wayland would crash on
// them, or open a menu the compositor dismisses at once), and only until
// then.
void TestPlatform::inputWaitsWhileTheFocusWindowIsGone_data()
{
    QTest::addColumn<bool>("hiddenOnly");
    QTest::newRow("its platform window gone") << false;
    QTest::newRow("hidden, its platform window kept") << true;
}

void TestPlatform::inputWaitsWhileTheFocusWindowIsGone()
{
    QFETCH(bool, hiddenOnly);
    static bool installed = false;
    if (!std::exchange(installed, true))
        holdBackInputWhileFocusWindowIsGone();
    QLineEdit edit;
    edit.show();
    edit.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&edit));
    QTest::keyClick(&edit, Qt::Key_A);
    QCOMPARE(edit.text(), u"a"_s);

    // The focus is announced, then the window goes before the news is read.
    QWindow gone;
    gone.show();
    gone.requestActivate();
    if (hiddenOnly)
        gone.hide();
    else
        gone.destroy();
    QTRY_COMPARE(QGuiApplication::focusWindow(), &gone);
    QCOMPARE(!gone.handle(), !hiddenOnly);
    QTest::keyClick(&edit, Qt::Key_B);
    QTest::mouseClick(&edit, Qt::LeftButton);
    QCOMPARE(edit.text(), u"a"_s);

    edit.activateWindow();
    QTRY_COMPARE(QGuiApplication::focusWindow(), edit.windowHandle());
    QTest::keyClick(&edit, Qt::Key_C);
    QCOMPARE(edit.text(), u"ac"_s);
}

// Under Wayland a dialog that is done must not give up its platform window
// at once, as Qt 6.4 makes it do: Qt's event thread may still be reading
// the compositor's answer to its last frame. However it is closed, it hides
// once that answer is in and is deleted a moment later; its answer is the
// same. Elsewhere it goes at once.
void TestPlatform::doneDialogsKeepTheirWindowUntilTheyHide_data()
{
    QTest::addColumn<bool>("wayland");
    QTest::addColumn<bool>("messageBox");
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("a button") << true << false << 0 << int(QDialog::Accepted);
    QTest::newRow("Esc") << true << false << 1 << int(QDialog::Rejected);
    QTest::newRow("the window's close button") << true << false << 2 << int(QDialog::Rejected);
    QTest::newRow("a message box's button") << true << true << 0 << int(QMessageBox::Ok);
    QTest::newRow("a message box, Esc") << true << true << 1 << int(QMessageBox::Ok);
    QTest::newRow("Esc, not under Wayland") << false << false << 1 << int(QDialog::Rejected);
}

void TestPlatform::doneDialogsKeepTheirWindowUntilTheyHide()
{
    QFETCH(bool, wayland);
    QFETCH(bool, messageBox);
    QFETCH(int, how);
    QFETCH(int, result);
    DialogCloseGuard::setActiveForTests(wayland);
    const auto restore = qScopeGuard([] { DialogCloseGuard::setActiveForTests(false); });

    QWidget owner;
    owner.show();
    QPointer<QDialog> seen;
    bool platformWindowWhenDone = false;
    int answer = -1;
    const auto run = [&](auto dialog, QAbstractButton *ok) {
        seen = dialog.get();
        QTimer::singleShot(0, dialog.get(), [&] {
            QVERIFY(QTest::qWaitForWindowExposed(seen));
            if (how == 0)
                QTest::mouseClick(ok, Qt::LeftButton);
            else if (how == 1)
                QTest::keyClick(seen, Qt::Key_Escape);
            else
                seen->windowHandle()->close();
        });
        answer = dialog->exec();
        platformWindowWhenDone = dialog->windowHandle() && dialog->windowHandle()->handle();
    };
    if (messageBox) {
        auto box = makeDialog<QMessageBox>(QMessageBox::Information, u"Lumaro"_s, u"已保存"_s, QMessageBox::Ok, &owner);
        QAbstractButton *ok = box->button(QMessageBox::Ok);
        run(std::move(box), ok);
    } else {
        auto dialog = makeDialog<QDialog>(&owner);
        auto *ok = new QPushButton(u"OK"_s, dialog.get());
        connect(ok, &QPushButton::clicked, dialog.get(), &QDialog::accept);
        run(std::move(dialog), ok);
    }
    QCOMPARE(answer, result);
    QCOMPARE(platformWindowWhenDone, wayland);
    if (wayland) {
        QVERIFY(seen);
        QVERIFY(seen->isHidden());
        // Until the compositor says otherwise, the hidden dialog is still
        // the active window: the next dialog must not belong to it.
        QApplication::setActiveWindow(seen);
        QCOMPARE(dialogOwner(), &owner);
        QTRY_VERIFY(seen.isNull());
    } else {
        QVERIFY(seen.isNull());
    }
}

// A long session draws thousands of icons once each (the file dialog lists
// a folder, a button greys out): what is left of them afterwards must not
// grow with their number.
void TestPlatform::iconsDrawnOnceLeaveNothingBehind()
{
#if !defined(__GLIBC__)
    QSKIP("the heap is counted with glibc's mallinfo2");
#else
    const int limit = QPixmapCache::cacheLimit();
    keepPixmapCacheEmpty();
    const auto restore = qScopeGuard([limit] { QPixmapCache::setCacheLimit(limit); });
    const auto drawIcons = [](int count) {
        for (int i = 0; i < count; ++i) {
            QPixmap picture(16, 16);
            picture.fill(QColor::fromHsv(i % 360, 200, 200));
            const QIcon icon(picture);
            icon.pixmap(QSize(16, 16), QIcon::Normal);
            icon.pixmap(QSize(16, 16), QIcon::Disabled);
        }
        QPixmapCache::clear();
        malloc_trim(0);
    };
    drawIcons(500);
    const std::size_t before = mallinfo2().uordblks;
    drawIcons(20000);
    const std::size_t after = mallinfo2().uordblks;
    const std::size_t grown = after > before ? after - before : 0;
    QVERIFY2(grown < 256 * 1024, qPrintable(u"%1 KiB still held after 20,000 icons"_s.arg(grown / 1024)));
#endif
}

// Data given to a clipboard goes once that clipboard holds other data, the
// program's own or another program's, and not before: the clipboard and
// the selection each keep theirs.
void TestPlatform::clipboardDataGoesOnceReplaced()
{
    using Mode = QClipboard::Mode;
    ClipboardDataFreer freer;
    QPointer<QMimeData> copied = new QMimeData, selected = new QMimeData, copiedAgain = new QMimeData;
    freer.changed(Mode::Clipboard, copied);
    freer.changed(Mode::Selection, selected);
    freer.changed(Mode::Clipboard, copied); // told again
    QVERIFY(copied && selected);

    freer.changed(Mode::Clipboard, copiedAgain);
    QVERIFY(!copied);
    QVERIFY(selected && copiedAgain);

    freer.changed(Mode::Selection, nullptr); // another program selected
    QVERIFY(!selected);
    QVERIFY(copiedAgain);

    // One piece of data given to both goes once neither holds it.
    QPointer<QMimeData> both = new QMimeData;
    freer.changed(Mode::Clipboard, both);
    freer.changed(Mode::Selection, both);
    QVERIFY(!copiedAgain);
    freer.changed(Mode::Clipboard, nullptr);
    QVERIFY(both);
    freer.changed(Mode::Selection, nullptr);
    QVERIFY(!both);
}

// Threads that allocate at the same time get no heaps of their own, each
// of which would keep its freed pages to itself.
void TestPlatform::threadsAllocatingTogetherShareOneHeap()
{
#if !defined(__GLIBC__)
    QSKIP("glibc's heaps");
#else
    const auto heaps = [] {
        char *text = nullptr;
        std::size_t size = 0;
        if (FILE *out = open_memstream(&text, &size)) {
            malloc_info(0, out);
            std::fclose(out);
        }
        const QByteArray xml(text, qsizetype(size));
        std::free(text);
        return xml.count("<heap nr=");
    };
    keepOneHeap();
    const qsizetype before = heaps();
    constexpr int count = 12;
    std::latch allAllocated(count);
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back([&allAllocated] {
            void *block = std::malloc(4096);
            allAllocated.arrive_and_wait();
            std::free(block);
        });
    for (std::thread &t : threads)
        t.join();
    QCOMPARE(heaps(), before);
#endif
}

namespace {

// How the program's start went below, before any test ran.
enum class BusStart { NotReached, Reached, ReachedAndMainThreadLost };
BusStart busStart = BusStart::NotReached;

#if defined(Q_OS_LINUX)
// A session bus that takes the connection and says nothing until told to
// close: the thread that connects ahead is still inside Qt meanwhile.
class SilentBus
{
public:
    SilentBus()
    {
        char dir[] = "/tmp/lumaro-bus-XXXXXX";
        if (!mkdtemp(dir))
            return;
        m_path = std::string(dir) + "/bus";
        m_listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", m_path.c_str());
        if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
            || listen(m_listener, 1) != 0)
            return;
        if (const char *was = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
            m_was = was;
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + m_path).c_str(), 1);
    }

    ~SilentBus()
    {
        if (m_client >= 0)
            close(m_client);
        if (m_listener >= 0)
            close(m_listener);
        if (!m_path.empty()) {
            unlink(m_path.c_str());
            rmdir(m_path.substr(0, m_path.rfind('/')).c_str());
        }
        if (m_was.empty())
            unsetenv("DBUS_SESSION_BUS_ADDRESS");
        else
            setenv("DBUS_SESSION_BUS_ADDRESS", m_was.c_str(), 1);
    }

    // Whether a connection came within the time.
    bool connected(int milliseconds)
    {
        pollfd in{ m_listener, POLLIN, 0 };
        if (m_listener < 0 || poll(&in, 1, milliseconds) != 1)
            return false;
        m_client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        return m_client >= 0;
    }

    void hangUp()
    {
        if (m_client >= 0)
            close(m_client);
        m_client = -1;
    }

private:
    std::string m_path, m_was;
    int m_listener = -1;
    int m_client = -1;
};
#endif

} // namespace

// The program's connection to the session bus is made on a thread that
// uses Qt before the application exists. Qt takes the first thread that
// uses it for its main thread; had that been the connecting thread, the
// application's timers and input would run through another thread's event
// dispatcher (one start in a few, as the threads raced).
void TestPlatform::busAheadLeavesQtItsMainThread()
{
    if (busStart == BusStart::NotReached)
        QSKIP("no connection to the session bus is made ahead here");
    QVERIFY(busStart == BusStart::Reached);
}

int main(int argc, char **argv)
{
#if defined(Q_OS_LINUX)
    // As the program starts: the bus is asked for first, then the
    // application is made while the connection is still under way.
    auto bus = std::make_unique<SilentBus>();
    auto ahead = std::make_unique<BusAhead>();
    const bool reached = bus->connected(5000);
    QApplication app(argc, argv);
    if (reached)
        busStart = QCoreApplication::eventDispatcher() == QAbstractEventDispatcher::instance(QThread::currentThread())
            ? BusStart::Reached
            : BusStart::ReachedAndMainThreadLost;
    bus->hangUp();
    ahead.reset();
    bus.reset();
#else
    QApplication app(argc, argv);
#endif
    TestPlatform tc;
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_platform.moc"
