#include "window/SharperDecode.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace lumaro {

namespace {

// Both sizes known, and `a` at least as large as `b` both ways.
bool covers(QSize a, QSize b)
{
    return a.isValid() && b.isValid() && a.width() >= b.width() && a.height() >= b.height();
}

} // namespace

QThreadPool *SharperDecode::pool()
{
    // A pool of their own: while painting, Qt spreads the scaling of a
    // picture over the global pool and waits for it there, so decodes filling
    // that pool would hold up the window's painting until one of them ends.
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(2);
    }
    return pool;
}

void SharperDecode::reset()
{
    ++m_state->newest;
    m_state->pendingFor = QSize();
    m_state->failedFor = QSize();
}

void SharperDecode::requestIfNeeded(const LoadedPicture &picture, QSize devicePixels, QObject *context,
                                    std::function<void(QImage)> take)
{
    const QSize have = picture.image.size();
    if (!picture.decode || have == picture.naturalSize)
        return;
    const QSize need = devicePixels.boundedTo(picture.naturalSize);
    if (covers(have, need) || covers(m_state->pendingFor, need))
        return;
    // A decode no larger failed for this picture: this one would fail too.
    if (covers(need, m_state->failedFor))
        return;
    const quint64 id = ++m_state->newest;
    m_state->pendingFor = need;
    QPointer<QObject> alive(context);
    pool()->start([decode = picture.decode, devicePixels, need, id, state = m_state, alive, take = std::move(take)] {
        QImage sharper = decode(devicePixels); // the only part off the GUI thread
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [need, id, state, alive, take, sharper = std::move(sharper)]() mutable {
                // A newer request (a larger display, another picture) has
                // taken this one's place: its copy is the one to wait for.
                if (!alive || state->newest != id)
                    return;
                state->pendingFor = QSize();
                if (sharper.isNull())
                    state->failedFor = need;
                take(std::move(sharper));
            },
            Qt::QueuedConnection);
    });
}

} // namespace lumaro
