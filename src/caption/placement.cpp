// ============================================================ Caption placement and outline

#include "window/Form1.h"

#include "window/AutoSizeLabel.h"
#include "window/PictureDisplay.h"
#include "window/Twips.h"

#include <QCheckBox>

#include <cmath>

namespace lumaro {

namespace {

// A position the toolkit can place a control at.
bool placeable(double twipsValue)
{
    return std::isfinite(twipsValue) && std::abs(twipsValue) <= twips::MaxSize;
}

} // namespace

void Form1::Imageshow_MouseDown(short Button, short Shift, float X, float Y)
{
    // Every button and modifier places the caption.
    Q_UNUSED(Button);
    Q_UNUSED(Shift);

    const double top = double(twips::top(Imageshow)) + Y;
    if (!placeable(top))
        return;
    twips::setTop(Label1, float(top));
    const double left = double(twips::left(Imageshow)) + X;
    if (!placeable(left))
        return;
    twips::setLeft(Label1, float(left));

    if (Check1->checkState() != Qt::Checked)
        return;

    // Centre the bottom layer on the top one.
    const double showTop =
        double(twips::top(Label1)) - (double(twips::height(Labelshow)) - double(twips::height(Label1))) / 2;
    if (!placeable(showTop))
        return;
    twips::setTop(Labelshow, float(showTop));
    const double showLeft =
        double(twips::left(Label1)) - (double(twips::width(Labelshow)) - double(twips::width(Label1))) / 2;
    if (!placeable(showLeft))
        return;
    twips::setLeft(Labelshow, float(showLeft));
}

// Toggles rather than follows the tick: both start in agreement. The bottom
// layer is not moved here; it shows where it last was.
void Form1::Check1_Click()
{
    Labelshow->setHidden(!Labelshow->isHidden());
    Labelshow->setCaption(Label1->caption());
}

} // namespace lumaro
