// libFuzzer target: the picture loader's reduced decode must take any bytes
// without crashing or undefined behaviour, at a small and a large display
// size, and either give a picture no larger than it needs or say why not.

#include "platform/QtPictureLoader.h"

#include <QCoreApplication>
#include <QImageReader>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Image plugins are found through the application object.
    static QCoreApplication app(*argc, *argv);
    // Damaged input makes the codecs talk; a run would be mostly printing.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    // Headers that declare big pictures are cheap to make, and decoding one
    // up to Qt's usual limit takes seconds under the sanitizers. The loader's
    // reckoning is the same at any limit; a small one keeps every input quick.
    QImageReader::setAllocationLimit(16);
    return 0;
}

using namespace lumaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QSize display : { QSize(200, 192), QSize(4000, 4000) }) {
        const DecodeResult r = decodeReduced(bytes, display);
        if (r.image.isNull() == r.error.isEmpty())
            std::abort(); // a failure without a reason, or a reason with a picture
        if (!r.image.isNull() && r.naturalSize.isValid()) {
            const int w = r.image.width(), h = r.image.height();
            // Never decoded larger than the picture itself,
            if (w > r.naturalSize.width() || h > r.naturalSize.height())
                std::abort();
            // nor than the display needs: a decode at half the size (each
            // side halved, rounded up) would not have covered it.
            if ((w + 1) / 2 >= display.width() && (h + 1) / 2 >= display.height())
                std::abort();
        }
    }
    return 0;
}
