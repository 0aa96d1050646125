#include "window/AutoSizeLabel.h"

#include "common/ColorRef.h"
#include "window/Twips.h"

#include <QEvent>

#include <cmath>

namespace lumaro {

AutoSizeLabel::AutoSizeLabel(QWidget *parent)
    : QLabel(parent)
{
    // Captions are shown as typed, never as markup.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setContentsMargins(0, 0, 0, 0);
    setMargin(0);
    setIndent(0);
}

void AutoSizeLabel::setAutoSize(bool on)
{
    m_autoSize = on;
    fitToText();
}

void AutoSizeLabel::setCaption(const QString &text)
{
    setText(text);
    fitToText();
}

void AutoSizeLabel::setForeColor(std::uint32_t bgr)
{
    m_foreColor = bgr;
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colorFromColorRef(bgr));
    setPalette(pal);
}

bool AutoSizeLabel::setFontSize(double points)
{
    if (!std::isfinite(points) || points <= 0 || points > MaxFontPoints)
        return false;
    QFont f = font();
    f.setPointSizeF(points);
    setFont(f);
    return true;
}

void AutoSizeLabel::setFontBold(bool bold)
{
    QFont f = font();
    f.setBold(bold);
    setFont(f);
}

void AutoSizeLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitToText();
}

void AutoSizeLabel::fitToText()
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

} // namespace lumaro
