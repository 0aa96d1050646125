#pragma once

#include "Selection.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

// One screen, frozen as it was grabbed, with a rectangle to drag over it. The
// dimming outside the rectangle is painted in one pass over the still image.
class SelectionOverlay : public QWidget
{
    Q_OBJECT
public:
    enum class Outcome { Pending, Accepted, Cancelled };

    // `frozen` is the screen in device pixels; the widget covers `geometry`
    // in logical pixels.
    SelectionOverlay(const QPixmap &frozen, const QRect &geometry);

    Outcome outcome() const { return m_outcome; }
    // The selected pixels of the frozen screen, at the screen's own resolution.
    QImage selectedImage() const;
    // The selection in the frozen image's pixels.
    QRect selectedRect() const { return m_selection.rect(); }

signals:
    void finished(SelectionOverlay *self);
    void selectionStarted(SelectionOverlay *self);

public slots:
    void cancel();
    // Another screen's selection began: this one lets go of its own.
    void clearSelection();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPoint toImage(QPointF logical) const;
    QRectF toLogical(const QRect &imageRect) const;
    void accept();

    QPixmap m_frozen;
    qreal m_scale; // device pixels per logical pixel
    Selection m_selection;
    Outcome m_outcome = Outcome::Pending;
};
