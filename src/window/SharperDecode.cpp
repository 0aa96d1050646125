#include "window/SharperDecode.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <memory>

namespace lumaro {

void SharperDecode::reset()
{
    ++m_generation;
    m_decodingFor = QSize();
}

void SharperDecode::requestIfNeeded(const LoadedPicture &picture, QSize devicePixels, QObject *context,
                                    std::function<void(QImage)> take)
{
    const QSize have = picture.image.size();
    if (!picture.decode || have == picture.naturalSize)
        return;
    const QSize need = devicePixels.boundedTo(picture.naturalSize);
    if (have.width() >= need.width() && have.height() >= need.height())
        return;
    if (m_decodingFor.isValid() && m_decodingFor.width() >= need.width() && m_decodingFor.height() >= need.height())
        return;
    m_decodingFor = devicePixels;
    // Whether the result is still wanted when it arrives, on the GUI thread:
    // the context still alive, and still at the same picture.
    const int generation = m_generation;
    const int *current = &m_generation;
    QPointer<QObject> alive(context);
    QThreadPool::globalInstance()->start([decode = picture.decode, devicePixels, generation, current, alive,
                                          take = std::move(take)] {
        QImage sharper = decode(devicePixels); // the only part off the GUI thread
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [generation, current, alive, take, sharper = std::move(sharper)]() mutable {
                if (alive && *current == generation)
                    take(std::move(sharper));
            },
            Qt::QueuedConnection);
    });
}

} // namespace lumaro
