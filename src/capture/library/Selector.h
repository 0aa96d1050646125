#pragma once

#include "Canvas.h"
#include "SelectorModel.h"

#include <QCursor>
#include <QEventLoop>
#include <QSet>
#include <QObject>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lumaro::capture {

class SelectionOverlay;

// The selector on the screens: one overlay window per screen shows the
// model (select/SelectorModel) and passes its input on; this puts them up,
// waits for the outcome, and does for the model what needs the session: the
// clipboard, the pointer, finding the windows under the selector.
//
// The mouse may still be with another of the program's windows while the
// selector is up: a compositor may give the pointer to a new window only
// once the pointer moves (mutter does), so a click with a still pointer goes
// to the window that was under it. Such input counts as the selector's, at
// the same place on the screen; where that window's place is not known, it
// is dropped, never taken somewhere else. The keyboard, too, stays with the
// window that had it until the compositor gives it to the selector (under
// Wayland, once the selector's window is mapped): keys there are the
// selector's, and that window never acts on them. Input already queued
// when the outcome is known, while the selector is still up, goes nowhere.
// A dialog that window opened would be modal, hidden behind the selector,
// and would leave both waiting.
class Selector : public QObject
{
    Q_OBJECT
public:
    using Mode = SelectorModel::Mode;
    using Outcome = SelectorModel::Outcome;

    // `pointer`: where the pointer was when the screens were read.
    explicit Selector(std::vector<FrozenScreen> screens, QPoint pointer = QCursor::pos(), QObject *parent = nullptr);
    ~Selector() override;

    SelectorModel &model() { return m_model; }
    const SelectorModel &model() const { return m_model; }

    // When the windows under the selector are looked for: once its first
    // frame is out, where finding them would delay that frame (or at once,
    // when input reaches another window first); or before it shows, where
    // the source has them at hand, so that the first frame already shows
    // what a click takes.
    enum class FindWindows { AfterFirstFrame, BeforeShowing };
    // What a click can take, and where the program's own windows are.
    void setElementSource(std::function<Scene(const Desktop &, const QList<WId> &overlays)> source,
                          FindWindows when = FindWindows::AfterFirstFrame)
    {
        m_elementSource = std::move(source);
        m_findWindows = when;
    }

    // A canvas for an overlay's window, where the backend has one (see
    // GrabBackend::canvas).
    void setCanvasSource(std::function<std::unique_ptr<Canvas>(QWindow *, int)> source)
    {
        m_canvasSource = std::move(source);
    }
    // Runs once the overlays' windows exist, right before they show (see
    // GrabBackend::readScreens).
    void setBeforeShowing(std::function<void()> run) { m_beforeShowing = std::move(run); }

    // Puts an overlay on every screen and waits until the person is done.
    Outcome exec();
    void show();
    void hide();

    SelectionOverlay *overlay(int i) const { return m_overlays[std::size_t(i)].get(); }
    // The overlays' frame is out: the windows under them are looked for now.
    void firstPainted();

protected:
    // Input that reaches another window of this program, while the selector is up.
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void framesShown();

private:
    void loadElements();
    void waitForFramesShown();
    // How far from where Qt thinks it is `window` is on the screens, if known.
    std::optional<QPointF> offsetOf(const QWindow *window);

    SelectorModel m_model;
    std::function<Scene(const Desktop &, const QList<WId> &)> m_elementSource;
    std::function<void()> m_beforeShowing;
    std::function<std::unique_ptr<Canvas>(QWindow *, int)> m_canvasSource;
    FindWindows m_findWindows = FindWindows::AfterFirstFrame;
    bool m_elementsAsked = false; // after the first frame
    bool m_elementsLoaded = false;
    std::vector<std::unique_ptr<SelectionOverlay>> m_overlays;
    QEventLoop m_loop;
    QSet<const QWindow *> m_framesAwaited; // windows whose frame the compositor has yet to show
};

} // namespace lumaro::capture
