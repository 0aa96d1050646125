// ============================================================ Scaling by percentage

#include "window/Form1.h"

#include "window/PictureDisplay.h"
#include "window/Twips.h"
#include "window/ValueOfText.h"

#include <QLineEdit>

#include <cmath>

namespace lumaro {

namespace {

// A size the display can take: finite, not negative, and within Qt's widget size limit.
bool displayable(double twipsValue)
{
    return std::isfinite(twipsValue) && twipsValue >= 0 && twipsValue <= twips::MaxSize;
}

} // namespace

void Form1::Command3_Click()
{
    // Height first, then width, each as a share of the reference size (never
    // of the current size): divide by 100, then multiply.
    const double h = ValueOfText(Text2->text());
    const double newHeight = h / 100.0 * BaseHeight;
    // A height the display cannot take (overflowing, invalid, negative or
    // too large) ends the command there: the width stays as it is too.
    if (!displayable(newHeight))
        return;
    // A percentage of "-0", or a negative one of a zero reference, gives
    // negative zero, which passes as not negative; + 0.0f makes it plain
    // zero, so the display never holds -0 twips.
    twips::setHeight(Imageshow, float(newHeight) + 0.0f);

    const double w = ValueOfText(Text1->text());
    const double newWidth = w / 100.0 * BaseWidth;
    if (!displayable(newWidth))
        return;
    twips::setWidth(Imageshow, float(newWidth) + 0.0f); // plain zero, as above
}

} // namespace lumaro
