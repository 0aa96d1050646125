#include "Clipboard.h"

#include "Session.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPointer>
#include <QVersionNumber>

namespace lumaro::capture {

namespace {

// Qt's Wayland clipboard before 6.5 never deletes the data it is given:
// every capture stayed in memory until the program ended. There the data
// given last is kept here and deleted once the clipboard has the next (the
// source that offered it is gone by then). Later versions delete it
// themselves.
bool keepsWhatItIsGiven()
{
    static const bool keeps = onWayland()
        && QVersionNumber::fromString(QString::fromLatin1(qVersion())) < QVersionNumber(6, 5);
    return keeps;
}

void put(QMimeData *data)
{
    static QPointer<QMimeData> given;
    QGuiApplication::clipboard()->setMimeData(data);
    if (keepsWhatItIsGiven()) {
        if (given != data)
            delete given.data();
        given = data;
    }
}

} // namespace

void putOnClipboard(const QImage &image)
{
    auto *data = new QMimeData;
    data->setImageData(image);
    put(data);
}

void putOnClipboard(const QString &text)
{
    auto *data = new QMimeData;
    data->setText(text);
    put(data);
}

} // namespace lumaro::capture
