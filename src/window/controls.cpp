#include "window/controls.h"

#include "window/units.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QThreadPool>

#include <cmath>

// ---------------------------------------------------------------- Label

Label::Label(QWidget *parent)
    : QLabel(parent)
{
    // Captions are shown as typed, never as markup.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setContentsMargins(0, 0, 0, 0);
    setMargin(0);
    setIndent(0);
}

void Label::setAutoSize(bool on)
{
    m_autoSize = on;
    fitToText();
}

void Label::setCaption(const QString &text)
{
    setText(text);
    fitToText();
}

void Label::setForeColor(std::uint32_t bgr)
{
    m_foreColor = bgr;
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colorFromColorRef(bgr));
    setPalette(pal);
}

bool Label::setFontSize(double points)
{
    if (!std::isfinite(points) || points <= 0 || points > MaxFontPoints)
        return false;
    QFont f = font();
    f.setPointSizeF(points);
    setFont(f);
    return true;
}

void Label::setFontBold(bool bold)
{
    QFont f = font();
    f.setBold(bold);
    setFont(f);
}

void Label::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitToText();
}

void Label::fitToText()
{
    if (!m_autoSize)
        return;
    const QFontMetrics fm(font());
    const QString t = text();
    QSize s(fm.horizontalAdvance(t), fm.height());
    if (t.contains(u'\n'))
        s = fm.boundingRect(QRect(), Qt::AlignLeft | Qt::AlignTop, t).size();
    if (s != size()) {
        // Keep the corner (and its exact twips) where it is.
        twips::setWidth(this, float(twips::fromPixels(s.width())));
        twips::setHeight(this, float(twips::fromPixels(s.height())));
    }
}

// ---------------------------------------------------------------- ImageBox

ImageBox::ImageBox(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageBox::setPicture(Picture picture)
{
    m_picture = std::move(picture);
    ++m_generation;
    m_decodingFor = QSize();
    m_cache = QImage();
    m_cacheFor = QSize();
    update();
}

void ImageBox::sharpenIfNeeded(QSize devicePixels)
{
    // A picture decoded smaller than its natural size is decoded again once
    // the display grows past it, in the background: until it arrives the
    // display shows the smaller copy stretched, and never waits for the file.
    const QSize have = m_picture.image.size();
    if (!m_picture.decode || have == m_picture.naturalSize)
        return;
    const QSize need = devicePixels.boundedTo(m_picture.naturalSize);
    if (have.width() >= need.width() && have.height() >= need.height())
        return;
    if (m_decodingFor.isValid() && m_decodingFor.width() >= need.width() && m_decodingFor.height() >= need.height())
        return;
    m_decodingFor = devicePixels;
    const int generation = m_generation;
    QPointer<ImageBox> self(this);
    QThreadPool::globalInstance()->start([decode = m_picture.decode, devicePixels, generation, self] {
        QImage sharper = decode(devicePixels);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, sharper = std::move(sharper)]() mutable {
                if (self && self->m_generation == generation)
                    self->takeSharper(std::move(sharper));
            },
            Qt::QueuedConnection);
    });
}

void ImageBox::takeSharper(QImage image)
{
    m_decodingFor = QSize();
    const QSize have = m_picture.image.size();
    if (image.isNull() || image.width() < have.width() || image.height() < have.height())
        return;
    m_picture.image = std::move(image);
    m_cacheFor = QSize();
    update();
}

void ImageBox::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    if (m_picture.isNull() || width() <= 0 || height() <= 0) {
        p.fillRect(event->rect(), palette().window());
        return;
    }
    const qreal dpr = devicePixelRatioF();
    const QSize full(qRound(width() * dpr), qRound(height() * dpr));
    sharpenIfNeeded(full);

    // Only the part of the display that is actually exposed gets stretched:
    // a display scaled far beyond the window costs no more than the window.
    const QRect exposed = event->rect() & rect();
    const QRect wanted(QPoint(qFloor(exposed.left() * dpr), qFloor(exposed.top() * dpr)),
                       QPoint(qCeil((exposed.right() + 1) * dpr) - 1, qCeil((exposed.bottom() + 1) * dpr) - 1));
    if (m_cacheFor != full || !m_cacheRect.contains(wanted)) {
        // Cache the whole visible area so that later partial repaints reuse it.
        const QRect visible = visibleRegion().boundingRect();
        QRect area = visible.isEmpty() ? exposed : visible.united(exposed);
        area = QRect(QPoint(qFloor(area.left() * dpr), qFloor(area.top() * dpr)),
                     QPoint(qCeil((area.right() + 1) * dpr) - 1, qCeil((area.bottom() + 1) * dpr) - 1))
               & QRect(QPoint(0, 0), full);
        const QImage &src = m_picture.image;
        const double sx = double(src.width()) / full.width();
        const double sy = double(src.height()) / full.height();
        // Source pixels under the area, one pixel of margin for the filter.
        const QRect srcRect = QRect(QPoint(int(std::floor(area.left() * sx)) - 1, int(std::floor(area.top() * sy)) - 1),
                                    QPoint(int(std::ceil((area.right() + 1) * sx)), int(std::ceil((area.bottom() + 1) * sy))))
                              & src.rect();
        QImage cache(area.size(), QImage::Format_RGB32);
        cache.fill(Qt::black);
        {
            QPainter cp(&cache);
            cp.setRenderHint(QPainter::SmoothPixmapTransform);
            cp.translate(-area.left(), -area.top());
            cp.scale(1.0 / sx, 1.0 / sy);
            cp.drawImage(QRectF(srcRect), src, QRectF(srcRect));
        }
        cache.setDevicePixelRatio(dpr);
        m_cache = std::move(cache);
        m_cacheRect = area;
        m_cacheFor = full;
    }
    p.drawImage(QPointF(m_cacheRect.left() / dpr, m_cacheRect.top() / dpr), m_cache);
}

void ImageBox::mousePressEvent(QMouseEvent *event)
{
    short button = 0;
    if (event->button() == Qt::LeftButton)
        button = 1;
    else if (event->button() == Qt::RightButton)
        button = 2;
    else if (event->button() == Qt::MiddleButton)
        button = 4;
    short shift = 0;
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (mods & Qt::ShiftModifier)
        shift |= 1;
    if (mods & Qt::ControlModifier)
        shift |= 2;
    if (mods & Qt::AltModifier)
        shift |= 4;
    const QPointF pos = event->position();
    emit mouseDown(button, shift, float(pos.x() * twips::PerPixel), float(pos.y() * twips::PerPixel));
    event->accept();
}

// ---------------------------------------------------------------- PictureBox

PictureBox::PictureBox(QWidget *parent)
    : QFrame(parent)
{
    // The classic sunken two-pixel picture box border.
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setFocusPolicy(Qt::StrongFocus);
}

void PictureBox::setAutoSize(bool on)
{
    m_autoSize = on;
    fitToPicture();
}

void PictureBox::setPicture(const QImage &image)
{
    m_image = image;
    fitToPicture();
    update();
}

void PictureBox::fitToPicture()
{
    // The picture's size plus the border, from the box's unchanged corner.
    if (!m_autoSize || m_image.isNull())
        return;
    const QSize s = m_image.deviceIndependentSize().toSize() + QSize(2 * frameWidth(), 2 * frameWidth());
    twips::setWidth(this, float(twips::fromPixels(s.width())));
    twips::setHeight(this, float(twips::fromPixels(s.height())));
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (m_image.isNull())
        return;
    QPainter p(this);
    p.setClipRect(contentsRect());
    p.drawImage(contentsRect().topLeft(), m_image);
}
