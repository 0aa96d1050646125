// ============================================================ Scaling by percentage

#include "window/Form1.h"

#include "window/ValueOfText.h"
#include "window/controls.h"
#include "window/units.h"

#include <QLineEdit>

#include <cmath>

namespace {

// A size the display can take: not negative, and within Qt's widget size limit.
bool displayable(double twipsValue)
{
    return twipsValue >= 0 && twipsValue <= twips::MaxSize;
}

} // namespace

void Form1::Command3_Click()
{
    // Height first, then width, each as a share of the reference size (never
    // of the current size): divide by 100, then multiply.
    const double h = ValueOfText(Text2->text());
    const double newHeight = h / 100.0 * BaseHeight;
    if (!std::isfinite(newHeight))
        return; // an overflowing or invalid result ends the command
    if (displayable(newHeight))
        twips::setHeight(Imageshow, float(newHeight) + 0.0f);

    const double w = ValueOfText(Text1->text());
    const double newWidth = w / 100.0 * BaseWidth;
    if (!std::isfinite(newWidth))
        return;
    if (displayable(newWidth))
        twips::setWidth(Imageshow, float(newWidth) + 0.0f);
}
