// ============================================================ Opening a picture

#include "window/Form1.h"

#include "platform/CommonDialog.h"
#include "platform/MessageBox.h"
#include "platform/PictureLoader.h"
#include "window/controls.h"
#include "window/units.h"

#include <QDir>

using namespace Qt::StringLiterals;

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

void Form1::FileOpen_Click()
{
    Dialog.ShowOpen();
    if (Dialog.FileName().isEmpty())
        return;
    const QString path = Dialog.FileName();
    LoadResult loaded = m_platform.loader.load(path, devicePixels(Imageshow));
    if (loaded.picture.isNull()) {
        m_platform.messageBox.show(u"无法打开图片“%1”。\n%2"_s.arg(QDir::toNativeSeparators(path), loaded.error),
                                   MsgButtons::Ok, MsgIcon::Warning, u"Lumaro"_s);
        return;
    }
    Imageshow->setPicture(std::move(loaded.picture));
    takeReference(BaseWidth, twips::width(Imageshow));
    takeReference(BaseHeight, twips::height(Imageshow));
}

void Form1::Command4_Click()
{
    Dialog.ShowOpen();
    // From here on a failure ends the command silently, changing nothing.
    if (Dialog.FileName().isEmpty())
        return;
    LoadResult loaded = m_platform.loader.load(Dialog.FileName(), devicePixels(Imageshow));
    if (loaded.picture.isNull())
        return;
    Imageshow->setPicture(std::move(loaded.picture));
    takeReference(BaseWidth, twips::width(Imageshow));
    takeReference(BaseHeight, twips::height(Imageshow));
}
