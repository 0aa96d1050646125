// Binds each control's event to its handler, all in one place.

#include "window/Form1.h"

#include "window/PictureDisplay.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

namespace lumaro {

void Form1::bindEvents()
{
    // Load has no signal: Form1's constructor calls Form_Load once, right
    // after this, when every control exists and before the window is shown.
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);

    connect(FileOpen, &QAction::triggered, this, &Form1::FileOpen_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command8, &QPushButton::clicked, this, &Form1::Command8_Click);
    connect(Command9, &QPushButton::clicked, this, &Form1::Command9_Click);
    connect(Command10, &QPushButton::clicked, this, &Form1::Command10_Click);
    connect(Command11, &QPushButton::clicked, this, &Form1::Command11_Click);
    connect(Command12, &QPushButton::clicked, this, &Form1::Command12_Click);
    // Fires on every change of the tick, by mouse or space bar.
    connect(Check1, &QCheckBox::toggled, this, &Form1::Check1_Click);
    connect(Imageshow, &PictureDisplay::mouseDown, this, &Form1::Imageshow_MouseDown);

    connect(FormFont, &QAction::triggered, this, &Form1::FormFont_Click);
    connect(FormImage, &QAction::triggered, this, &Form1::FormImage_Click);
    connect(FormWord, &QAction::triggered, this, &Form1::FormWord_Click);
    connect(FormPicture, &QAction::triggered, this, &Form1::FormPicture_Click);
    connect(Speak, &QAction::triggered, this, &Form1::Speak_Click);
    connect(web, &QAction::triggered, this, &Form1::web_Click);
}

} // namespace lumaro
