// ============================================================ Start-up and size read-out

#include "window/Form1.h"

#include "window/controls.h"
#include "window/units.h"

using namespace Qt::StringLiterals;

void Form1::Form_Load()
{
    LabelWidth->setCaption(u"宽:"_s + sizeText(twips::width(Imageshow)));
    LabelHeight->setCaption(u"高:"_s + sizeText(twips::height(Imageshow)));
    BaseWidth = roundToEven(twips::width(Imageshow));
    BaseHeight = roundToEven(twips::height(Imageshow));
}

void Form1::Timer1_Timer()
{
    LabelWidth->setCaption(u"宽:"_s + sizeText(twips::width(Imageshow)));
    LabelHeight->setCaption(u"高:"_s + sizeText(twips::height(Imageshow)));
}
