// Prints the MIME type of every picture that Qt's image readers on this
// system read, one a line. The build makes the desktop entry's MimeType and
// the metadata's media types from it, so that "Open with" offers Lumaro for
// what it can open.
#include <QCoreApplication>
#include <QImageReader>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    for (const QByteArray &type : QImageReader::supportedMimeTypes())
        if (type.startsWith("image/"))
            std::printf("%s\n", type.constData());
    return 0;
}
