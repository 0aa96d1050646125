#pragma once

#include "platform/PictureLoader.h"
#include "platform/Platform.h"
#include "window/DialogControl.h"

#include <QMainWindow>

#include <functional>

class QAction;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class QFrame;

namespace lumaro {

class AutoSizeLabel;
class PictureDisplay;
class CaptureDisplay;

// The program's one window. It owns its controls, named as the window
// definition names them, and its event handlers are its member functions:
// each handler is defined in the folder of the subsystem it belongs to.
// Geometry is in twips wherever a handler reads or writes it (window/Twips.h).
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    // Builds the window from its definition, binds its events and runs
    // Form_Load, in that order: the window is then ready to show.
    explicit Form1(const Platform &platform, QWidget *parent = nullptr);
    ~Form1() override;

    // Puts the window in the middle of the screen it will appear on.
    void centreOnScreen();

    // The 100 % reference size of the picture display, in twips.
    qint32 BaseWidth = 0;
    qint32 BaseHeight = 0;

    // ---- Controls on the window (front to back)
    QGroupBox *FramePicture;
    QPushButton *Command7, *Command6, *Command5, *Command4;
    QGroupBox *FrameWord;
    QPushButton *Command2, *Command12, *Command11, *Command10;
    QLineEdit *Text3;
    QPushButton *Command9, *Command8;
    QCheckBox *Check1;
    QLineEdit *LabelText;
    QPushButton *Command1;
    AutoSizeLabel *Label6;
    QFrame *Line1;
    QTimer *Timer1;
    QGroupBox *FrameImage;
    QPushButton *Command3;
    QLineEdit *Text2, *Text1;
    AutoSizeLabel *Label5, *Label4, *Label3, *Label2, *LabelHeight, *LabelWidth;
    DialogControl Dialog;
    CaptureDisplay *Picture1;
    AutoSizeLabel *Label1, *Labelshow;
    PictureDisplay *Imageshow;

    // ---- Menus
    QMenu *wenjian;
    QAction *FileOpen;
    QMenu *FormShow;
    QAction *FormFont, *FormImage, *FormWord, *FormPicture;
    QMenu *Help;
    QAction *Speak, *web;

    // ---- Window: start-up and the size read-out (window/SizeReadout.cpp)
    void Form_Load();
    void Timer1_Timer();

    // ---- Picture: open, scale, capture, save, reset (picture/)
    void FileOpen_Click();
    void Command4_Click();
    void Command3_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();

    // ---- Caption: text, style, placement (caption/)
    void Command1_Click();
    void Command2_Click();
    void Command8_Click();
    void Command9_Click();
    void Command10_Click();
    void Command11_Click();
    void Command12_Click();
    void Check1_Click();
    void Imageshow_MouseDown(short Button, short Shift, float X, float Y);

    // ---- Pictures the desktop hands over (picture/handover.cpp): a file
    // named at start, a file or picture data dropped on the window. Each
    // opens as 打开 opens a file, with the same message when it cannot.
    void openPictureFile(const QString &path);

    // ---- Panels and help (help/)
    void FormFont_Click();
    void FormImage_Click();
    void FormWord_Click();
    void FormPicture_Click();
    void Speak_Click();
    void web_Click();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildDefinition(); // window/WindowDefinition.cpp
    void bindEvents();      // window/EventBindings.cpp
    void takePictureDrops(); // picture/handover.cpp

    // Steps that two handlers share (handlers never call one another).
    void showSizeReadout();                                 // Form_Load, Timer1_Timer
    enum class OnFailure { Tell, StaySilent };
    void openPicture(OnFailure onFailure);                  // FileOpen_Click, Command4_Click
    void takePicture(const QString &name, OnFailure onFailure, // openPicture, and what the desktop hands over
                     const std::function<LoadResult(QSize)> &load);
    void chooseColour(AutoSizeLabel *layer);                // Command2_Click, Command8_Click
    void applySizeRule(AutoSizeLabel *layer);               // Command12_Click, Command9_Click
    void toggleBold(AutoSizeLabel *layer);                  // Command11_Click, Command10_Click
    void warn(const QString &text);                         // every warning the window gives

    Platform m_platform;
    bool m_dropWanted = false; // the drag over the window carries a picture
};

} // namespace lumaro
