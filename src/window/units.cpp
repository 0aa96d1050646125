#include "window/units.h"

#include <QVariant>
#include <QWidget>

#include <cfenv>
#include <cmath>
#include <limits>

namespace {

// The exact twips last written, kept on the widget beside its pixel geometry.
constexpr char TwipsProperty[] = "_lumaro_twips";

struct Twips
{
    float l, t, w, h;
};

Twips stored(const QWidget *w)
{
    const QRect px = w->geometry();
    Twips now{ float(twips::fromPixels(px.x())), float(twips::fromPixels(px.y())),
               float(twips::fromPixels(px.width())), float(twips::fromPixels(px.height())) };
    const QVariant v = w->property(TwipsProperty);
    if (!v.isValid())
        return now;
    const QRectF r = v.toRectF();
    // Keep a stored value only while it still matches what is on screen.
    if (twips::toPixels(r.x()) == px.x())
        now.l = float(r.x());
    if (twips::toPixels(r.y()) == px.y())
        now.t = float(r.y());
    if (twips::toPixels(r.width()) == px.width())
        now.w = float(r.width());
    if (twips::toPixels(r.height()) == px.height())
        now.h = float(r.height());
    return now;
}

void apply(QWidget *w, const Twips &t)
{
    w->setProperty(TwipsProperty, QRectF(t.l, t.t, t.w, t.h));
    w->setGeometry(twips::toPixels(t.l), twips::toPixels(t.t),
                   std::max(0, twips::toPixels(t.w)), std::max(0, twips::toPixels(t.h)));
}

} // namespace

namespace twips {

int toPixels(double value)
{
    const double px = std::floor(value / PerPixel + 0.5);
    constexpr double lim = std::numeric_limits<int>::max() / 2;
    return int(std::clamp(px, -lim, lim));
}

float left(const QWidget *w) { return stored(w).l; }
float top(const QWidget *w) { return stored(w).t; }
float width(const QWidget *w) { return stored(w).w; }
float height(const QWidget *w) { return stored(w).h; }

namespace {

void setOne(QWidget *w, float Twips::*field, float value)
{
    Twips t = stored(w);
    t.*field = value;
    apply(w, t);
}

} // namespace

void setLeft(QWidget *w, float value) { setOne(w, &Twips::l, value); }
void setTop(QWidget *w, float value) { setOne(w, &Twips::t, value); }
void setWidth(QWidget *w, float value) { setOne(w, &Twips::w, value); }
void setHeight(QWidget *w, float value) { setOne(w, &Twips::h, value); }

void setGeometry(QWidget *w, float l, float t, float wd, float ht)
{
    apply(w, { l, t, wd, ht });
}

} // namespace twips

QColor colorFromColorRef(std::uint32_t bgr)
{
    return QColor(int(bgr & 0xff), int((bgr >> 8) & 0xff), int((bgr >> 16) & 0xff));
}

std::uint32_t colorRefFromColor(const QColor &color)
{
    const QColor c = color.toRgb();
    return std::uint32_t(c.red()) | (std::uint32_t(c.green()) << 8) | (std::uint32_t(c.blue()) << 16);
}

QString sizeText(float value)
{
    QString s = QString::number(double(value) + 0.0, 'g', 7);
    // "1e+07" reads as "1E+07".
    s.replace(u'e', u'E');
    return s;
}

qint32 roundToEven(double value)
{
    if (std::isnan(value))
        return 0;
    const double r = std::nearbyint(value); // default rounding mode: ties to even
    return qint32(std::clamp(r, double(std::numeric_limits<qint32>::min()),
                             double(std::numeric_limits<qint32>::max())));
}
