#pragma once

// The window is described in twips (1/1440 inch, 15 per pixel at 96 dpi) and
// colours as 0x00BBGGRR values. This is the one place where those become Qt's
// pixels and QColors.

#include <QColor>
#include <QString>

#include <cstdint>

class QWidget;

namespace twips {

constexpr double PerPixel = 15.0;

// Largest size a control may take: Qt's own widget size limit, in twips.
constexpr double MaxSize = 16'777'215.0 * PerPixel;

int toPixels(double twips);
constexpr double fromPixels(int pixels) { return pixels * PerPixel; }

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

} // namespace twips

// 0x00BBGGRR <-> QColor
QColor colorFromColorRef(std::uint32_t bgr);
std::uint32_t colorRefFromColor(const QColor &color);

// A size as the read-out shows it: the shortest text with at most seven
// significant digits ("3000", "1584.5"), full stop as decimal point.
QString sizeText(float value);

// Rounds to the nearest integer, a tie to the even one, clamped to 32 bits.
qint32 roundToEven(double value);
