// ============================================================ Start-up and size read-out

#include "window/Form1.h"

#include "window/AutoSizeLabel.h"
#include "window/PictureDisplay.h"
#include "window/RoundToEven.h"
#include "window/SizeText.h"
#include "window/Twips.h"

using namespace Qt::StringLiterals;

namespace lumaro {

void Form1::showSizeReadout()
{
    LabelWidth->setCaption(u"宽:"_s + sizeText(twips::width(Imageshow)));
    LabelHeight->setCaption(u"高:"_s + sizeText(twips::height(Imageshow)));
}

void Form1::Form_Load()
{
    showSizeReadout();
    BaseWidth = roundToEven(twips::width(Imageshow));
    BaseHeight = roundToEven(twips::height(Imageshow));
}

// Only the read-out: the reference size stays as loading or opening set it.
void Form1::Timer1_Timer()
{
    showSizeReadout();
}

} // namespace lumaro
