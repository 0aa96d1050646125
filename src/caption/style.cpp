// ============================================================ Caption text and style

#include "window/Form1.h"

#include "window/AutoSizeLabel.h"
#include "window/ValueOfText.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace lumaro {

void Form1::Command1_Click()
{
    Label1->setCaption(LabelText->text());
}

// A cancelled colour dialog still applies its colour: the last one accepted,
// black before any.
void Form1::chooseColour(AutoSizeLabel *layer)
{
    Dialog.ShowColor();
    layer->setForeColor(Dialog.Color());
}

void Form1::Command2_Click()
{
    chooseColour(Label1);
}

void Form1::Command8_Click()
{
    chooseColour(Labelshow);
}

// An empty box, 0, or text without a number becomes "10". A size the font
// system cannot draw (negative, or beyond MaxFontPoints) leaves the layer as it is.
void Form1::applySizeRule(AutoSizeLabel *layer)
{
    const QString text = Text3->text();
    if (ValueOfText(text) == 0 || text.isEmpty())
        Text3->setText(u"10"_s);
    layer->setFontSize(ValueOfText(Text3->text()));
}

void Form1::Command12_Click()
{
    applySizeRule(Label1);
}

void Form1::Command9_Click()
{
    applySizeRule(Labelshow);
}

void Form1::toggleBold(AutoSizeLabel *layer)
{
    layer->setFontBold(!layer->fontBold());
}

void Form1::Command11_Click()
{
    toggleBold(Label1);
}

void Form1::Command10_Click()
{
    toggleBold(Labelshow);
}

} // namespace lumaro
