// The Qt implementations where they do real work: writing and reading picture
// files, the reduced decode of big pictures, the dialog's file types and
// loading the capture library.

#include "platform/QtCaptureLibrary.h"
#include "platform/QtCommonDialog.h"
#include "platform/QtPictureLoader.h"
#include "platform/QtPictureWriter.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

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
    void embeddedPicturesLoad();
    void badFilesGiveAReasonNotACrash_data();
    void badFilesGiveAReasonNotACrash();
    void bigPicturesDecodeReducedAndSharpenLater();
    void reducedDecodeSize_data();
    void reducedDecodeSize();
    void filterTextBecomesFileTypes();
    void missingCaptureLibraryFails();

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

// A PNG whose header declares the given size and that holds no pixels.
QByteArray pngHeaderOnly(quint32 w, quint32 h)
{
    QByteArray ihdr("IHDR");
    for (quint32 v : { w, h })
        for (int s = 24; s >= 0; s -= 8)
            ihdr.append(char((v >> s) & 0xff));
    ihdr.append("\x08\x02\x00\x00\x00", 5); // 8-bit RGB
    const quint32 crc = crc32Of(ihdr);
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png.append("\x00\x00\x00\x0d", 4).append(ihdr);
    for (int s = 24; s >= 0; s -= 8)
        png.append(char((crc >> s) & 0xff));
    return png;
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

void TestPlatform::embeddedPicturesLoad()
{
    QtPictureLoader loader;
    const LoadResult jpg = loader.load(u":/window/default.jpg"_s, QSize(200, 192));
    QCOMPARE(jpg.picture.image.size(), QSize(200, 200));
    const LoadResult ico = loader.load(u":/window/lumaro.ico"_s, QSize(200, 192));
    QCOMPARE(ico.picture.image.size(), QSize(32, 32));
}

void TestPlatform::badFilesGiveAReasonNotACrash_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason"); // empty: any reason, or a partial picture
    QByteArray jpeg = readAll(u":/window/default.jpg"_s);
    QTest::newRow("zero bytes") << QByteArray() << u"这个文件是空的。"_s;
    QTest::newRow("text") << QByteArray("hello, not a picture\n") << u"这不是程序能识别的图片格式。"_s;
    QTest::newRow("truncated jpeg") << jpeg.left(jpeg.size() / 3) << QString();
    QTest::newRow("jpeg header only") << jpeg.left(200) << QString();
    QTest::newRow("png declaring 100000 x 100000") << pngHeaderOnly(100000, 100000) << QString();
}

void TestPlatform::badFilesGiveAReasonNotACrash()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const QString path = m_dir.filePath(u"bad.jpg"_s);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QtPictureLoader loader;
    const LoadResult r = loader.load(path, QSize(200, 192));
    if (!reason.isEmpty()) {
        QVERIFY(r.picture.isNull());
        QCOMPARE(r.error, reason);
    } else if (r.picture.isNull()) {
        QVERIFY(!r.error.isEmpty());
    }
    QVERIFY(!loader.load(m_dir.filePath(u"missing.png"_s), QSize(10, 10)).error.isEmpty());
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

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestPlatform tc;
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_platform.moc"
