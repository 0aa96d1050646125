#pragma once

// The window is described in twips (1/1440 inch, 15 per pixel at 96 dpi).
// This is the one place where twips become Qt's pixels.

class QWidget;

namespace lumaro::twips {

constexpr double PerPixel = 15.0;

// Largest size a control may take: Qt's own widget size limit, in twips.
constexpr double MaxSize = 16'777'215.0 * PerPixel;

int toPixels(double twips);
constexpr double fromPixels(int pixels) { return pixels * PerPixel; }
// The twips of a control that shows `devicePixels` of the screen whole, on a
// screen with `ratio` of its pixels to one of Qt's. At a fractional ratio
// the control may start part way into a screen pixel, so it is one larger.
double covering(int devicePixels, double ratio);

// A control's geometry in twips. Fractional values written here read back
// unchanged as long as the control has not been moved or resized by other means.
float left(const QWidget *w);
float top(const QWidget *w);
float width(const QWidget *w);
float height(const QWidget *w);

void setLeft(QWidget *w, float value);
void setTop(QWidget *w, float value);
void setWidth(QWidget *w, float value);
void setHeight(QWidget *w, float value);
void setGeometry(QWidget *w, float l, float t, float wd, float ht);

} // namespace lumaro::twips
