#include "Selector.h"

#include "Clipboard.h"
#include "Log.h"
#include "SelectionOverlay.h"
#include "Session.h"

#include <QClipboard>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace lumaro::capture {

Selector::Selector(std::vector<FrozenScreen> screens, QPoint pointer, QObject *parent)
    : QObject(parent)
    , m_model(std::move(screens))
{
    if (onWayland())
        m_model.placeCursorLater(pointer, QGuiApplication::topLevelAt(pointer));
    else
        m_model.hover(pointer);
    connect(&m_model, &SelectorModel::finished, &m_loop, &QEventLoop::quit);
    // The colour goes to the clipboard; the selection goes on.
    connect(&m_model, &SelectorModel::colourPicked, this,
            [](const QString &colour) { putOnClipboard(colour); });
    connect(&m_model, &SelectorModel::nudgePointer, this, [](QPoint by) { QCursor::setPos(QCursor::pos() + by); });
}

Selector::~Selector() = default;

void Selector::show()
{
    if (m_overlays.empty())
        for (int i = 0; i < m_model.screenCount(); ++i) {
            auto overlay = std::make_unique<SelectionOverlay>(m_model, i);
            SelectionOverlay *o = overlay.get();
            connect(&m_model, &SelectorModel::changed, o, &SelectionOverlay::refresh);
            connect(o, &SelectionOverlay::shown, this, &Selector::firstPainted);
            connect(o, &SelectionOverlay::pressed, &m_model, &SelectorModel::mousePress);
            connect(o, &SelectionOverlay::moved, &m_model, &SelectorModel::mouseMove);
            connect(o, &SelectionOverlay::released, &m_model, &SelectorModel::mouseRelease);
            connect(o, &SelectionOverlay::doubleClicked, &m_model, &SelectorModel::mouseDoubleClick);
            connect(o, &SelectionOverlay::wheeled, &m_model, &SelectorModel::wheel);
            connect(o, &SelectionOverlay::keyPressed, &m_model, &SelectorModel::key);
            o->winId(); // made now: making it asks the window system, whose answers
                        // would later wait behind the screens' pictures
            if (m_canvasSource)
                o->setCanvas(m_canvasSource(o->windowHandle(), i));
            m_overlays.push_back(std::move(overlay));
        }
    if (m_beforeShowing)
        std::exchange(m_beforeShowing, {})();
    if (m_findWindows == FindWindows::BeforeShowing)
        loadElements();
    QCoreApplication::instance()->installEventFilter(this);
    for (auto &o : m_overlays)
        o->present();
}

void Selector::hide()
{
    QCoreApplication::instance()->removeEventFilter(this);
    for (auto &o : m_overlays)
        o->dismiss();
}

Selector::Outcome Selector::exec()
{
    if (m_overlays.empty())
        show();
    if (m_model.outcome() == Outcome::Pending)
        m_loop.exec();
    if (onWayland())
        waitForFramesShown();
    hide();
    return m_model.outcome();
}

// Qt 6.4's Wayland client may abort (in libwayland's wl_proxy_unref) when
// a window is hidden while the compositor's answer to its last frame is
// being read on Qt's event thread, which a click right after the selector's
// first frame does. A window's update request is delivered only once that
// answer is in, so the windows go once every one has had its own, or after
// a short wait where the compositor does not show them at all.
void Selector::waitForFramesShown()
{
    QEventLoop wait;
    for (auto &o : m_overlays)
        if (QWindow *w = o->windowHandle(); w && w->isExposed()) {
            m_framesAwaited.insert(w);
            w->requestUpdate();
        }
    if (m_framesAwaited.isEmpty())
        return;
    connect(this, &Selector::framesShown, &wait, &QEventLoop::quit);
    QTimer::singleShot(200, &wait, &QEventLoop::quit);
    wait.exec();
    m_framesAwaited.clear();
}

void Selector::firstPainted()
{
    if (m_elementsAsked)
        return;
    m_elementsAsked = true;
    // After the first frame is out: finding the windows costs round trips.
    QTimer::singleShot(0, this, &Selector::loadElements);
}

void Selector::loadElements()
{
    if (m_elementsLoaded || !m_elementSource || m_model.outcome() != Outcome::Pending)
        return;
    m_elementsLoaded = true;
    QList<WId> overlays;
    for (auto &o : m_overlays)
        overlays << o->winId();
    QElapsedTimer timer;
    timer.start();
    Scene scene = m_elementSource(m_model.desktop(), overlays);
    qCDebug(lcCapture, "selector: windows found in %lld ms", timer.elapsed());
    m_model.setScene(std::move(scene));
}

std::optional<QPointF> Selector::offsetOf(const QWindow *window)
{
    // Input before the first frame: the windows are looked for now, once
    // the pictures they are looked for in are all here.
    const std::vector<FrozenScreen> &screens = m_model.screens();
    const bool pictures = std::all_of(screens.begin(), screens.end(),
                                      [](const FrozenScreen &s) { return !s.image.isNull(); });
    if (!m_elementsLoaded && pictures)
        loadElements();
    for (const WindowOnScreen &w : m_model.ownWindows())
        if (w.own && w.own == window)
            return w.ownOffset;
    return std::nullopt;
}

bool Selector::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::UpdateRequest && !m_framesAwaited.isEmpty()) {
        // Taken here: the window would repaint itself whole for it.
        if (!m_framesAwaited.remove(qobject_cast<const QWindow *>(watched)))
            return false;
        if (m_framesAwaited.isEmpty())
            emit framesShown();
        return true;
    }
    const bool key = type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride;
    if (!key && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseMove
        && type != QEvent::MouseButtonDblClick)
        return false;
    // Taken where the window system hands it over, before any widget sees
    // it; a key's shortcut is looked for first, at the widget with the focus.
    const QWindow *window = qobject_cast<QWindow *>(watched);
    if (const auto *widget = qobject_cast<QWidget *>(watched); key && widget)
        window = widget->window()->windowHandle();
    if (!window)
        return false;
    for (auto &o : m_overlays)
        if (o->windowHandle() == window)
            return false;
    if (type == QEvent::ShortcutOverride)
        event->accept(); // the focus widget's own key, as it were: no shortcut, no menu
    // Once the outcome is known the selector is still up until its loop
    // ends, and input already queued comes first: none of it is the window's.
    if (m_model.outcome() != Outcome::Pending)
        return true;
    if (key) {
        if (type == QEvent::KeyPress) {
            const auto *k = static_cast<const QKeyEvent *>(event);
            m_model.key(k->key(), k->modifiers());
        }
        return true;
    }
    const std::optional<QPointF> offset = offsetOf(window);
    if (!offset)
        return true; // somewhere unknown: not a click on the selector, nor one on the window
    const auto *mouse = static_cast<const QMouseEvent *>(event);
    const QPointF at = mouse->globalPosition() + *offset;
    switch (type) {
    case QEvent::MouseButtonPress:
        m_model.mousePress(at, mouse->button(), mouse->modifiers());
        break;
    case QEvent::MouseButtonRelease:
        m_model.mouseRelease(at, mouse->button(), mouse->modifiers());
        break;
    case QEvent::MouseButtonDblClick:
        m_model.mouseDoubleClick(at, mouse->button());
        break;
    default:
        m_model.mouseMove(at, mouse->buttons(), mouse->modifiers());
        break;
    }
    return true;
}

} // namespace lumaro::capture
