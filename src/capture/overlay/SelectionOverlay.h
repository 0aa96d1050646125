#pragma once

#include "Canvas.h"
#include "SelectorModel.h"

#include <QLineF>
#include <QRegion>
#include <QWidget>

#include <memory>
#include <vector>

class QPainter;

namespace lumaro::capture {

// One screen of the selector: a window over the whole screen that shows the
// frozen picture, darker outside the selection, with the selection's outline
// and handles, the size read-out, the magnifier and the key hint, as the
// model has them. Its input goes out by the signals below; a change of the
// model repaints only what it touched.
class SelectionOverlay : public QWidget
{
    Q_OBJECT
public:
    SelectionOverlay(const SelectorModel &model, int screen);

    // The key hint for a mode.
    static QString hintFor(SelectorModel::Mode mode);

    // On its screen: placed there on X11, full screen on Wayland, where a
    // program cannot place its windows.
    void present();
    // Paints on `canvas` and puts it on the screen from there, rather than
    // through Qt's buffer (see Canvas); before the window shows.
    void setCanvas(std::unique_ptr<Canvas> canvas);
    QPaintEngine *paintEngine() const override;
    void dismiss();

    // What is drawn where, in this window's logical pixels (for tests too).
    struct Layout
    {
        QRectF lit;      // the selection or highlighted element, outlined; empty for none
        QRectF bright;   // the part shown undimmed
        QRect label;     // size and position read-out
        QRect magnifier; // the loupe with its text
        QRect hint;      // the key hint
        std::vector<QLineF> guides; // element edges the selection has snapped to
        QString hintText; // as drawn: whole, unless the screen is too narrow
        bool hintFaded = false;
    };
    Layout layout() const;
    QRectF toLocal(const QRect &desktop) const;

public slots:
    void refresh();

signals:
    // The first frame is out, as the screen shows it (or half a second has
    // gone by waiting for that under Wayland).
    void shown();
    // Input, in logical global coordinates.
    void pressed(QPointF at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void moved(QPointF at, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void released(QPointF at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void doubleClicked(QPointF at, Qt::MouseButton button);
    void wheeled(int steps);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    // No focus frame is drawn: gaining the focus, which under Wayland comes
    // while the window first goes on screen, repaints nothing.
    void focusInEvent(QFocusEvent *) override {}
    void focusOutEvent(QFocusEvent *) override {}
    // Tab walks the elements here, not the focus.
    bool focusNextPrevChild(bool) override { return false; }

private:
    void updateCursorShape();
    bool paintFrozen(QPainter &p, const QImage &display, const QRegion &dark, const QRegion &bright);
    void paintOverFrozen(const QRegion &region, const QImage &display);
    void paintMarks(QPainter &p, const Layout &l, const QRectF &within);
    void renderGlyphsAhead();
    void painted(bool whole);
    // Where the selection's outline, the read-out, the magnifier, the hint
    // and the guides of a layout are drawn.
    static QRegion marksOf(const Layout &l);
    void onScreen();
    void fullScreenAsPainted();
    QString labelText() const;

    const SelectorModel &m_selector;
    int m_screen;
    Layout m_painted;
    bool m_shown = false;
    std::unique_ptr<Canvas> m_canvas;
    bool m_firstPaint = true;
    bool m_onScreen = false; // painted as the screen shows it (full screen under Wayland)
    QSize m_paintedSize;     // the size of the last frame painted whole
    bool m_canvasCurrent = false; // the canvas holds that frame and nothing changed since
    QRegion m_brightShown; // where the frame on the screen shows the frozen screen undimmed
    QRegion m_changed;     // what changes touched since the last paint
    QImage m_pieceMemory;  // what the pieces over the frozen screen are painted in
    int m_wheel = 0;
    QString m_labelLogged; // the read-out as last written to the capture log
};

} // namespace lumaro::capture
