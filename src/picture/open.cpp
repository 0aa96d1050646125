// ============================================================ Opening a picture

#include "window/Form1.h"

#include "platform/PictureLoader.h"
#include "window/PictureDisplay.h"
#include "window/RoundToEven.h"
#include "window/Twips.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace lumaro {

namespace {

QSize devicePixels(const QWidget *w)
{
    const qreal dpr = w->devicePixelRatioF();
    return { qRound(w->width() * dpr), qRound(w->height() * dpr) };
}

// The picture keeps the display's rectangle, so the display's size becomes the
// new 100 % reference. A dimension that scaling has collapsed to 0 keeps its old
// reference: taking 0 would leave no percentage that brings the display back.
void takeReference(qint32 &base, float current)
{
    const qint32 value = roundToEven(current);
    if (value != 0)
        base = value;
}

} // namespace

// The open dialog, the file into the display, the display's size as the new
// reference. A file that cannot be read changes nothing; the menu says why.
void Form1::openPicture(OnFailure onFailure)
{
    Dialog.ShowOpen();
    if (Dialog.FileName().isEmpty())
        return;
    const QString path = Dialog.FileName();
    takePicture(QDir::toNativeSeparators(path), onFailure,
                [&](QSize pixels) { return m_platform.loader.load(path, pixels); });
}

// Loads a picture, decoded for the display's device pixels, into the display;
// a picture that cannot be loaded changes nothing and, when the command
// tells, a message names it and says why. Whatever is on show stays on show:
// after a capture the picture waits, hidden, for 初始化.
void Form1::takePicture(const QString &name, OnFailure onFailure, const std::function<LoadResult(QSize)> &load)
{
    LoadResult loaded = load(devicePixels(Imageshow));
    if (loaded.picture.isNull()) {
        if (onFailure == OnFailure::Tell)
            warn(u"无法打开图片“%1”。\n%2"_s.arg(name, loaded.error));
        return;
    }
    Imageshow->setPicture(std::move(loaded.picture));
    takeReference(BaseWidth, twips::width(Imageshow));
    takeReference(BaseHeight, twips::height(Imageshow));
}

void Form1::FileOpen_Click()
{
    openPicture(OnFailure::Tell);
}

// From the dialog on, a failure ends this command silently.
void Form1::Command4_Click()
{
    openPicture(OnFailure::StaySilent);
}

} // namespace lumaro
