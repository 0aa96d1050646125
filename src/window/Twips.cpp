#include "window/Twips.h"

#include <QVariant>
#include <QWidget>

#include <algorithm>

#include <cmath>
#include <limits>

namespace lumaro::twips {

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
    Twips now{ float(fromPixels(px.x())), float(fromPixels(px.y())),
               float(fromPixels(px.width())), float(fromPixels(px.height())) };
    const QVariant v = w->property(TwipsProperty);
    if (!v.isValid())
        return now;
    const QRectF r = v.toRectF();
    // Keep a stored value only while it still matches what is on screen.
    if (toPixels(r.x()) == px.x())
        now.l = float(r.x());
    if (toPixels(r.y()) == px.y())
        now.t = float(r.y());
    if (toPixels(r.width()) == px.width())
        now.w = float(r.width());
    if (toPixels(r.height()) == px.height())
        now.h = float(r.height());
    return now;
}

void apply(QWidget *w, const Twips &t)
{
    w->setProperty(TwipsProperty, QRectF(t.l, t.t, t.w, t.h));
    w->setGeometry(toPixels(t.l), toPixels(t.t),
                   std::max(0, toPixels(t.w)), std::max(0, toPixels(t.h)));
}

} // namespace

int toPixels(double value)
{
    const double px = std::floor(value / PerPixel + 0.5);
    constexpr double lim = std::numeric_limits<int>::max() / 2;
    return int(std::clamp(px, -lim, lim));
}

double covering(int devicePixels, double ratio)
{
    if (ratio <= 0)
        ratio = 1;
    const bool whole = std::abs(ratio - std::round(ratio)) < 1e-9;
    const double needed = devicePixels + (whole ? 0 : 1);
    return fromPixels(int(std::ceil(needed / ratio - 1e-9)));
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

} // namespace lumaro::twips
