// ============================================================ Caption text and style

#include "window/Form1.h"

#include "platform/CommonDialog.h"
#include "window/ValueOfText.h"
#include "window/controls.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

void Form1::Command1_Click()
{
    Label1->setCaption(LabelText->text());
}

// A cancelled colour dialog still applies its colour: the last one accepted,
// black before any.
void Form1::Command2_Click()
{
    Dialog.ShowColor();
    Label1->setForeColor(Dialog.Color());
}

void Form1::Command8_Click()
{
    Dialog.ShowColor();
    Labelshow->setForeColor(Dialog.Color());
}

// An empty box, 0, or text without a number becomes "10". A size the font
// system cannot draw (negative, or beyond MaxFontPoints) leaves the layer as it is.
void Form1::Command12_Click()
{
    const QString text = Text3->text();
    if (ValueOfText(text) == 0 || text.isEmpty())
        Text3->setText(u"10"_s);
    Label1->setFontSize(ValueOfText(Text3->text()));
}

void Form1::Command9_Click()
{
    const QString text = Text3->text();
    if (ValueOfText(text) == 0 || text.isEmpty())
        Text3->setText(u"10"_s);
    Labelshow->setFontSize(ValueOfText(Text3->text()));
}

void Form1::Command11_Click()
{
    Label1->setFontBold(!Label1->fontBold());
}

void Form1::Command10_Click()
{
    Labelshow->setFontBold(!Labelshow->fontBold());
}
