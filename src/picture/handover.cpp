// ============================================================ Pictures the desktop hands over
//
// A file named at start ("Open with" in a file manager, or a terminal) and a
// file or picture data dropped on the window. None of this is a command of
// the window: each opens its picture as 打开 opens a file, through the same
// loader and with the same message when it cannot.

#include "window/Form1.h"

#include "platform/PictureLoader.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace lumaro {

namespace {

// What a drag carries that the window can open: a local file that looks like
// a picture, or else picture data of a type the loader reads. Only the first
// file counts, as only the first file named at start does.
struct Offer
{
    QString path;     // a file
    QString dataType; // or the picture's bytes, in this MIME type
    bool isNull() const { return path.isEmpty() && dataType.isEmpty(); }
};

Offer offerIn(const QMimeData &mime, PictureLoader &loader)
{
    Offer offer;
    const QList<QUrl> urls = mime.urls();
    const auto file = std::find_if(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
    if (file != urls.end() && loader.looksReadable(file->toLocalFile())) {
        offer.path = file->toLocalFile();
        return offer;
    }
    // A browser drags a picture as its data (with its web address beside).
    const QStringList formats = mime.formats();
    const auto data = std::find_if(formats.begin(), formats.end(), [&loader](const QString &format) {
        return format.startsWith(u"image/"_s) && loader.readsType(format);
    });
    if (data != formats.end())
        offer.dataType = *data;
    return offer;
}

// How a message names dropped data: by the address it came from, if any.
QString nameOfData(const QMimeData &mime)
{
    const QUrl from = mime.urls().value(0);
    return from.isValid() ? from.toDisplayString(QUrl::PreferLocalFile) : u"拖放的图片"_s;
}

// A drop is taken as a copy: whatever was dragged stays where it is, even
// where the other program proposed to move it.
bool acceptAsCopy(QDropEvent *event)
{
    if (!(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace

void Form1::openPictureFile(const QString &path)
{
    takePicture(QDir::toNativeSeparators(path), OnFailure::Tell,
                [&](QSize pixels) { return m_platform.loader.load(path, pixels); });
}

void Form1::takePictureDrops()
{
    setAcceptDrops(true);
    // The text boxes take dragged text as before; a picture dragged over one
    // of them is the window's.
    for (QWidget *child : findChildren<QWidget *>())
        if (child->acceptDrops())
            child->installEventFilter(this);
}

// The pointer says "not allowed" over the window unless the drag carries
// something it can open. The check is made once as the drag comes in: it may
// read the first bytes of a file.
void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    // Nothing comes in while a dialog or a message waits for an answer.
    m_dropWanted = !QApplication::activeModalWidget() && !offerIn(*event->mimeData(), m_platform.loader).isNull()
                   && acceptAsCopy(event);
    if (!m_dropWanted)
        event->ignore();
}

void Form1::dragMoveEvent(QDragMoveEvent *event)
{
    if (!m_dropWanted || !acceptAsCopy(event))
        event->ignore();
}

void Form1::dropEvent(QDropEvent *event)
{
    const QMimeData &mime = *event->mimeData();
    const Offer offer = QApplication::activeModalWidget() ? Offer() : offerIn(mime, m_platform.loader);
    if (offer.isNull() || !acceptAsCopy(event))
        return event->ignore();
    // The dropped data lasts only as long as this event, and the program it
    // came from waits until the event ends: take the data now and open it
    // afterwards, so that a message about it holds up nobody.
    if (!offer.path.isEmpty()) {
        QTimer::singleShot(0, this, [this, path = offer.path] { openPictureFile(path); });
        return;
    }
    QTimer::singleShot(0, this, [this, bytes = mime.data(offer.dataType), name = nameOfData(mime)] {
        takePicture(name, OnFailure::Tell, [&](QSize pixels) { return m_platform.loader.loadData(bytes, pixels); });
    });
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
        dragEnterEvent(static_cast<QDragEnterEvent *>(event));
        return m_dropWanted;
    case QEvent::DragMove:
        if (!m_dropWanted)
            break;
        dragMoveEvent(static_cast<QDragMoveEvent *>(event));
        return true;
    case QEvent::Drop:
        if (!m_dropWanted)
            break;
        dropEvent(static_cast<QDropEvent *>(event));
        return true;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace lumaro
