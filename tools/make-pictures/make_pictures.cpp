// Draws Lumaro's window icon (a Windows icon with 32x32 and 16x16 images in
// 16 colours with a transparency mask, 1,078 bytes), the desktop's icons made
// from it (PNGs of 16 to 256 pixels and an SVG), and its default picture
// (a calm 200x200 backdrop as a baseline JFIF 1.01 JPEG without chroma
// subsampling, padded with a comment to exactly 16,431 bytes).

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <jpeglib.h>
#include <vector>

namespace {

constexpr int DefaultPictureBytes = 16431;

// The classic 16-colour palette.
const QRgb Palette16[16] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};

int nearestIndex(QRgb c)
{
    int best = 0;
    long bestD = -1;
    for (int i = 0; i < 16; ++i) {
        const long dr = qRed(c) - qRed(Palette16[i]);
        const long dg = qGreen(c) - qGreen(Palette16[i]);
        const long db = qBlue(c) - qBlue(Palette16[i]);
        const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestD < 0 || d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}

// A small framed landscape with a caption bar: a picture with a caption.
// Drawn on a 32-unit grid; `smooth` for the large desktop icons, which keep
// the same shapes and colours with soft edges.
QImage drawIcon(int size, bool smooth = false)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, smooth);
    const double s = size / 32.0;
    p.scale(s, s);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(1, 3, 30, 26);                          // frame
    p.setBrush(QColor(0, 255, 255));
    p.drawRect(3, 5, 26, 22);                          // sky
    p.setBrush(QColor(255, 255, 0));
    p.drawEllipse(QRectF(20, 7, 6, 6));                // sun
    p.setBrush(QColor(0, 128, 0));
    QPainterPath hill;
    hill.moveTo(3, 22);
    hill.cubicTo(10, 13, 16, 14, 29, 21);
    hill.lineTo(29, 27);
    hill.lineTo(3, 27);
    p.drawPath(hill);
    p.setBrush(QColor(0, 0, 0));
    p.drawRect(3, 21, 26, 6);                          // caption bar
    p.setBrush(QColor(255, 255, 255));
    for (int x = 6; x < 27; x += 5)
        p.drawRect(x, 23, 3, 2);                        // caption "letters"
    p.end();
    return img;
}

// The same shapes as drawIcon(), as a scalable picture.
QByteArray iconSvg()
{
    QByteArray svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" viewBox=\"0 0 32 32\">\n"
        "  <title>Lumaro</title>\n"
        "  <rect x=\"1\" y=\"3\" width=\"30\" height=\"26\" fill=\"#000080\"/>\n"
        "  <rect x=\"3\" y=\"5\" width=\"26\" height=\"22\" fill=\"#00ffff\"/>\n"
        "  <circle cx=\"23\" cy=\"10\" r=\"3\" fill=\"#ffff00\"/>\n"
        "  <path d=\"M3 22 C10 13 16 14 29 21 L29 27 L3 27 Z\" fill=\"#008000\"/>\n"
        "  <rect x=\"3\" y=\"21\" width=\"26\" height=\"6\" fill=\"#000000\"/>\n";
    for (int x = 6; x < 27; x += 5)
        svg += "  <rect x=\"" + QByteArray::number(x) + "\" y=\"23\" width=\"3\" height=\"2\" fill=\"#ffffff\"/>\n";
    return svg + "</svg>\n";
}

void put16(QByteArray &b, quint16 v) { b.append(char(v & 0xff)).append(char(v >> 8)); }
void put32(QByteArray &b, quint32 v) { put16(b, quint16(v & 0xffff)); put16(b, quint16(v >> 16)); }

QByteArray iconImage(const QImage &img)
{
    const int n = img.width();
    const int xorRow = ((n * 4 + 31) / 32) * 4;
    const int andRow = ((n + 31) / 32) * 4;
    QByteArray b;
    put32(b, 40);
    put32(b, quint32(n));
    put32(b, quint32(2 * n));
    put16(b, 1);
    put16(b, 4);
    put32(b, 0);
    put32(b, quint32((xorRow + andRow) * n));
    put32(b, 0);
    put32(b, 0);
    put32(b, 16);
    put32(b, 0);
    for (QRgb c : Palette16)
        b.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append(char(0));
    for (int y = n - 1; y >= 0; --y) {
        QByteArray row(xorRow, 0);
        for (int x = 0; x < n; ++x) {
            const QRgb c = img.pixel(x, y);
            const int idx = qAlpha(c) < 128 ? 0 : nearestIndex(c);
            row[x / 2] = char(row[x / 2] | (x % 2 ? idx : idx << 4));
        }
        b.append(row);
    }
    for (int y = n - 1; y >= 0; --y) {
        QByteArray row(andRow, 0);
        for (int x = 0; x < n; ++x)
            if (qAlpha(img.pixel(x, y)) < 128)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        b.append(row);
    }
    return b;
}

QByteArray makeIcon()
{
    const QByteArray big = iconImage(drawIcon(32));
    const QByteArray small = iconImage(drawIcon(16));
    QByteArray ico;
    put16(ico, 0);
    put16(ico, 1);
    put16(ico, 2);
    quint32 offset = 6 + 2 * 16;
    for (const auto &[n, data] : { std::pair{ 32, big }, std::pair{ 16, small } }) {
        ico.append(char(n)).append(char(n)).append(char(16)).append(char(0));
        put16(ico, 1);
        put16(ico, 4);
        put32(ico, quint32(data.size()));
        put32(ico, offset);
        offset += quint32(data.size());
    }
    return ico + big + small;
}

// Soft dawn sky over low, hazy hills: quiet enough for any caption colour.
QImage drawBackdrop()
{
    QImage img(200, 200, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 200);
    sky.setColorAt(0.0, QColor(176, 205, 230));
    sky.setColorAt(0.55, QColor(222, 230, 236));
    sky.setColorAt(1.0, QColor(236, 226, 210));
    p.fillRect(img.rect(), sky);
    QRadialGradient glow(140, 70, 60);
    glow.setColorAt(0, QColor(255, 244, 220, 150));
    glow.setColorAt(1, QColor(255, 244, 220, 0));
    p.fillRect(img.rect(), glow);
    p.setPen(Qt::NoPen);
    const QColor hills[] = { QColor(180, 196, 204), QColor(160, 182, 180), QColor(142, 168, 156) };
    for (int i = 0; i < 3; ++i) {
        QPainterPath path;
        const double base = 130 + i * 22;
        path.moveTo(0, base);
        path.cubicTo(50, base - 25 + i * 6, 120, base + 15, 200, base - 18 + i * 4);
        path.lineTo(200, 200);
        path.lineTo(0, 200);
        p.setBrush(hills[i]);
        p.drawPath(path);
    }
    p.end();
    return img;
}

std::vector<unsigned char> encodeJpeg(const QImage &img, int quality, const QByteArray &comment)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buf = nullptr;
    unsigned long len = 0;
    jpeg_mem_dest(&cinfo, &buf, &len);
    cinfo.image_width = JDIMENSION(img.width());
    cinfo.image_height = JDIMENSION(img.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.write_JFIF_header = TRUE;
    cinfo.JFIF_major_version = 1;
    cinfo.JFIF_minor_version = 1;
    for (int i = 0; i < 3; ++i) {
        cinfo.comp_info[i].h_samp_factor = 1;
        cinfo.comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    if (!comment.isEmpty())
        jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET *>(comment.constData()),
                          unsigned(comment.size()));
    std::vector<unsigned char> row(size_t(img.width()) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            row[size_t(x) * 3] = uchar(qRed(c));
            row[size_t(x) * 3 + 1] = uchar(qGreen(c));
            row[size_t(x) * 3 + 2] = uchar(qBlue(c));
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<unsigned char> out(buf, buf + len);
    free(buf);
    jpeg_destroy_compress(&cinfo);
    return out;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

// The desktop's icons in the hicolor layout under `root`: 16 and 32 pixels
// from the window icon's own two images, larger ones drawn anew with the same
// shapes, and a scalable one.
bool writeDesktopIcons(const QDir &root, const QByteArray &ico)
{
    const QString name = QStringLiteral("example.lumaro.Lumaro");
    auto path = [&](const QString &size, const QString &suffix) {
        const QString dir = root.filePath(QStringLiteral("hicolor/%1/apps").arg(size));
        QDir().mkpath(dir);
        return QDir(dir).filePath(name + suffix);
    };
    QBuffer buffer;
    buffer.setData(ico);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        const QImage image = reader.read();
        if (image.isNull() || !image.save(path(QStringLiteral("%1x%1").arg(image.width()), QStringLiteral(".png"))))
            return false;
    }
    for (int size : { 48, 64, 128, 256 })
        if (!drawIcon(size, true).save(path(QStringLiteral("%1x%1").arg(size), QStringLiteral(".png"))))
            return false;
    return writeFile(path(QStringLiteral("scalable"), QStringLiteral(".svg")), iconSvg());
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    const QByteArray ico = makeIcon();
    if (ico.size() != 1078 || !writeFile(out.filePath(QStringLiteral("lumaro.ico")), ico)) {
        std::fprintf(stderr, "icon: %lld bytes\n", qint64(ico.size()));
        return 1;
    }
    if (argc > 2 && !writeDesktopIcons(QDir(QString::fromLocal8Bit(argv[2])), ico)) {
        std::fprintf(stderr, "desktop icons could not be written\n");
        return 1;
    }

    const QImage backdrop = drawBackdrop();
    for (int q = 98; q >= 50; --q) {
        const auto bare = encodeJpeg(backdrop, q, {});
        // The comment segment adds its 4-byte header plus its text.
        const long pad = long(DefaultPictureBytes) - long(bare.size()) - 4;
        if (pad < 1)
            continue;
        QByteArray comment("Lumaro default picture");
        comment = comment.leftJustified(pad, ' ', true);
        const auto jpg = encodeJpeg(backdrop, q, comment);
        if (jpg.size() != size_t(DefaultPictureBytes))
            continue;
        writeFile(out.filePath(QStringLiteral("default.jpg")),
                  QByteArray(reinterpret_cast<const char *>(jpg.data()), qsizetype(jpg.size())));
        std::printf("default.jpg at quality %d\n", q);
        return 0;
    }
    std::fprintf(stderr, "default picture does not fit\n");
    return 1;
}
