// The window definition: every control with its settings, the menu bar, the
// dialog's stored settings, stacking and tab order.

#include "window/Form1.h"

#include "platform/CommonDialog.h"
#include "window/CommandButton.h"
#include "window/controls.h"
#include "window/units.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Song-style first, as the captions were designed for; then the CJK fonts
// that Linux desktops actually have.
QFont captionFont()
{
    QFont f;
    f.setFamilies({ u"宋体"_s, u"SimSun"_s, u"AR PL UMing CN"_s, u"Noto Serif CJK SC"_s,
                    u"WenQuanYi Micro Hei"_s, u"Noto Sans CJK SC"_s });
    f.setPointSize(12);
    f.setWeight(QFont::Normal);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    return f;
}

QFont defaultFont()
{
    QFont f = QApplication::font();
    f.setFamilies({ u"WenQuanYi Micro Hei"_s, u"Noto Sans CJK SC"_s, QApplication::font().family() });
    f.setPointSize(9);
    f.setWeight(QFont::Normal);
    return f;
}

template <typename W>
W *make(QWidget *parent, const char *name, float l, float t, float w, float h)
{
    auto *widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    twips::setGeometry(widget, l, t, w, h);
    return widget;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, float l, float t, float w, float h)
{
    auto *b = make<CommandButton>(parent, name, l, t, w, h);
    b->setText(caption);
    return b;
}

QGroupBox *frame(QWidget *parent, const char *name, const QString &caption, float l, float t, float w, float h)
{
    auto *f = make<QGroupBox>(parent, name, l, t, w, h);
    f->setTitle(caption);
    return f;
}

QLineEdit *textBox(QWidget *parent, const char *name, const QString &text, float l, float t, float w, float h)
{
    auto *e = make<QLineEdit>(parent, name, l, t, w, h);
    e->setText(text);
    return e;
}

Label *label(QWidget *parent, const char *name, const QString &caption, float l, float t, float w, float h)
{
    auto *lb = make<Label>(parent, name, l, t, w, h);
    lb->setCaption(caption);
    lb->setAutoSize(true);
    return lb;
}

} // namespace

void Form1::buildDefinition()
{
    setObjectName(u"Form1"_s);
    setWindowTitle(u"Lumaro         "_s);
    setWindowIcon(QIcon(u":/window/lumaro.ico"_s));
    setFont(defaultFont());

    auto *client = new QWidget(this);
    setCentralWidget(client);
    QWidget *form = client;

    // ---- Picture settings panel
    FramePicture = frame(form, "FramePicture", u"图片设置"_s, 1800, 120, 1575, 3015);
    Command7 = button(FramePicture, "Command7", u"初始化"_s, 120, 2040, 1215, 495);
    Command6 = button(FramePicture, "Command6", u"保存图片"_s, 120, 1440, 1215, 495);
    Command6->setEnabled(false);
    Command5 = button(FramePicture, "Command5", u"截取屏幕"_s, 120, 840, 1215, 495);
    Command4 = button(FramePicture, "Command4", u"更改图片"_s, 120, 240, 1215, 495);

    // ---- Text panel
    FrameWord = frame(form, "FrameWord", u"文字修改"_s, 120, 3240, 3255, 3855);
    Command2 = button(FrameWord, "Command2", u"顶层颜色"_s, 120, 1320, 1215, 375);
    Command12 = button(FrameWord, "Command12", u"顶层字号更改"_s, 120, 3000, 1335, 615);
    Command11 = button(FrameWord, "Command11", u"顶层粗体"_s, 120, 1800, 1215, 375);
    Command10 = button(FrameWord, "Command10", u"底层粗体"_s, 1800, 1800, 1215, 375);
    Text3 = textBox(FrameWord, "Text3", u"12"_s, 1560, 2520, 1335, 375);
    Text3->setFont(captionFont());
    Command9 = button(FrameWord, "Command9", u"底层字号更改"_s, 1680, 3000, 1335, 615);
    Command8 = button(FrameWord, "Command8", u"底层颜色"_s, 1800, 1320, 1215, 375);
    Check1 = make<QCheckBox>(FrameWord, "Check1", 1920, 840, 1095, 255);
    Check1->setText(u"描边效果"_s);
    LabelText = textBox(FrameWord, "LabelText", QString(), 120, 240, 2655, 360);
    LabelText->setFont(captionFont());
    Command1 = button(FrameWord, "Command1", u"顶层文字修改"_s, 120, 720, 1575, 495);
    Label6 = make<Label>(FrameWord, "Label6", 240, 2520, 960, 240);
    Label6->setFont(captionFont());
    Label6->setCaption(u"字号设置"_s);
    Label6->setAutoSize(true);
    // A one-pixel solid rule from (120, 2280) to (2880, 2280).
    Line1 = make<QFrame>(FrameWord, "Line1", 120, 2280, 2880 - 120, 15);
    Line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    Line1->setLineWidth(1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(1000);
    Timer1->start();

    // ---- Image size panel
    FrameImage = frame(form, "FrameImage", u"图像大小处理"_s, 120, 240, 1575, 2895);
    Command3 = button(FrameImage, "Command3", u"修改"_s, 240, 2280, 735, 375);
    Text2 = textBox(FrameImage, "Text2", u"100"_s, 480, 1800, 495, 270);
    Text2->setMaxLength(3);
    Text1 = textBox(FrameImage, "Text1", u"100"_s, 480, 1320, 495, 270);
    Text1->setMaxLength(3);
    // Read out by screen readers instead of the panel's title.
    Text1->setAccessibleName(u"宽度百分比"_s);
    Text2->setAccessibleName(u"高度百分比"_s);
    Text3->setAccessibleName(u"字号"_s);
    LabelText->setAccessibleName(u"文字内容"_s);
    Label5 = label(FrameImage, "Label5", u"%"_s, 1080, 1800, 90, 180);
    Label4 = label(FrameImage, "Label4", u"高:"_s, 120, 1800, 270, 180);
    Label3 = label(FrameImage, "Label3", u"%"_s, 1080, 1320, 90, 180);
    Label2 = label(FrameImage, "Label2", u"宽:"_s, 120, 1320, 270, 180);
    LabelHeight = label(FrameImage, "LabelHeight", u"高:"_s, 120, 840, 270, 180);
    LabelWidth = label(FrameImage, "LabelWidth", u"宽:"_s, 120, 360, 270, 180);

    // ---- The shared dialog's stored settings
    Dialog.DefaultExt = u"jpg"_s;
    Dialog.DialogTitle = u"打开文件"_s;
    Dialog.Filter = u"jpg,bmp,png"_s;

    // ---- Capture display, caption layers, picture display
    Picture1 = make<PictureBox>(form, "Picture1", 3960, 0, 255, 255);
    Picture1->setAccessibleName(u"截图"_s);
    Picture1->hide();

    Label1 = make<Label>(form, "Label1", 5760, 2160, 480, 240);
    Labelshow = make<Label>(form, "Labelshow", 5760, 2520, 480, 240);
    for (Label *layer : { Label1, Labelshow }) {
        layer->setFont(captionFont());
        layer->setCaption(u"Moku"_s);
        layer->setAutoSize(true);
        // Presses go through the caption to the picture under it, so the
        // caption can be moved by pressing anywhere on the picture.
        layer->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    Labelshow->hide();

    Imageshow = make<ImageBox>(form, "Imageshow", 3600, 120, 3000, 2880);
    Imageshow->setAccessibleName(u"图片"_s);
    {
        const QImage image(u":/window/default.jpg"_s);
        Imageshow->setPicture({ image, image.size(), {} });
    }

    // ---- Stacking: the earlier sibling lies in front.
    for (QWidget *w : std::initializer_list<QWidget *>{ FramePicture, FrameWord, FrameImage, Picture1, Label1,
                                                        Labelshow, Imageshow })
        w->lower();
    for (QWidget *w : std::initializer_list<QWidget *>{ Command7, Command6, Command5, Command4 })
        w->lower();
    for (QWidget *w : std::initializer_list<QWidget *>{ Command2, Command12, Command11, Command10, Text3, Command9,
                                                        Command8, Check1, LabelText, Command1, Label6, Line1 })
        w->lower();
    for (QWidget *w : std::initializer_list<QWidget *>{ Command3, Text2, Text1, Label5, Label4, Label3, Label2,
                                                        LabelHeight, LabelWidth })
        w->lower();

    // ---- Menu bar
    auto menu = [this](const char *name, const QString &caption) {
        QMenu *m = menuBar()->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto item = [](QMenu *m, const char *name, const QString &caption) {
        QAction *a = m->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    wenjian = menu("wenjian", u"文件(&F)"_s);
    FileOpen = item(wenjian, "FileOpen", u"打开"_s);
    FormShow = menu("FormShow", u"窗口(&W)"_s);
    FormFont = item(FormShow, "FormFont", u"字体窗口"_s);
    FormImage = item(FormShow, "FormImage", u"图像窗口"_s);
    FormWord = item(FormShow, "FormWord", u"文字窗口"_s);
    FormPicture = item(FormShow, "FormPicture", u"图片窗口"_s);
    Help = menu("Help", u"帮助(&H)"_s);
    Speak = item(Help, "Speak", u"说明"_s);
    web = item(Help, "web", u"网站"_s);

    // ---- Tab order; hidden and disabled controls are passed over by Qt itself.
    const QWidget *order[] = { Text1, Text2, Command3, Command1, LabelText, Command4, Picture1, Command5,
                               Command6, Command7, Check1, Command8, Command9, Text3, Command10,
                               Command11, Command12, Command2 };
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(const_cast<QWidget *>(order[i]), const_cast<QWidget *>(order[i + 1]));
    Text1->setFocus();

    // Client area of 565 x 495 pixels right below the menu bar.
    resize(twips::toPixels(8475), twips::toPixels(7425) + menuBar()->sizeHint().height());
}
