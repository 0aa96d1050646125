// The window definition: every control with its settings, the menu bar, the
// dialog's stored settings, stacking and tab order. Where each control sits
// comes from the table of controls (ControlTable.cpp).

#include "window/Form1.h"

#include "window/AutoSizeLabel.h"
#include "window/CaptureDisplay.h"
#include "window/CommandButton.h"
#include "window/ControlTable.h"
#include "window/PictureDisplay.h"
#include "window/StartPictures.h"
#include "window/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace lumaro {

namespace {

// The menu bar's height is final only once the window is on the screen: on
// Windows it comes out a pixel taller than its hint beforehand. On the first
// show the window takes up the difference, so that the client area keeps
// its designed height.
class KeepClientHeight final : public QObject
{
public:
    KeepClientHeight(QMainWindow *window, int clientHeight)
        : QObject(window)
        , m_window(window)
        , m_clientHeight(clientHeight)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Show) {
            m_window->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                if (QWidget *client = m_window->centralWidget(); client && client->height() != m_clientHeight)
                    m_window->resize(m_window->width(), m_window->height() + m_clientHeight - client->height());
                deleteLater();
            });
        }
        return false;
    }

private:
    QMainWindow *m_window;
    int m_clientHeight;
};

// Fusion draws the line along the menu bar's bottom item by item, each one up
// to the last logical pixel of its item: at a fractional scale (125 %, 175 %)
// the screen pixel where two items meet is left out, a gap in the line. Here
// each item's line is drawn again, out to the item's edges.
class MenuBarStyle final : public QProxyStyle
{
public:
    MenuBarStyle()
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
    {
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        QProxyStyle::drawControl(element, option, painter, widget);
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element != CE_MenuBarItem || !item || baseStyle()->name() != u"fusion"_s
            || ((item->state & State_Selected) && (item->state & State_Sunken)))
            return;
        // Fusion's colour for that line.
        const QColor window = option->palette.window().color();
        const QColor a = window.darker(120), b = window.darker(140).lighter(140);
        const auto mix = [](int x, int y) { return (x * 60) / 100 + (y * 40) / 100; };
        const QColor shadow(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
        // The same line, on the same screen rows, past both ends: the
        // painter is clipped to the item, so it ends where the item does.
        const QRect r = option->rect;
        painter->save();
        painter->setPen(QPen(shadow));
        painter->drawLine(r.bottomLeft() - QPoint(1, 0), r.bottomRight() + QPoint(1, 0));
        painter->restore();
    }
};

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
    f.setHintingPreference(QFont::PreferNoHinting);
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

// A control named as the definition names it, where the table puts it.
template <typename W>
W *make(QWidget *parent, const char *name)
{
    auto *widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    const ControlPlace &at = controlPlace(name);
    twips::setGeometry(widget, float(at.left), float(at.top), float(at.width), float(at.height));
    return widget;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = make<CommandButton>(parent, name);
    b->setText(caption);
    return b;
}

QGroupBox *frame(QWidget *parent, const char *name, const QString &caption)
{
    auto *f = make<QGroupBox>(parent, name);
    f->setTitle(caption);
    return f;
}

QLineEdit *textBox(QWidget *parent, const char *name, const QString &text)
{
    auto *e = make<QLineEdit>(parent, name);
    e->setText(text);
    return e;
}

AutoSizeLabel *label(QWidget *parent, const char *name, const QString &caption)
{
    auto *lb = make<AutoSizeLabel>(parent, name);
    lb->setCaption(caption);
    lb->setAutoSize(true);
    return lb;
}

} // namespace

void Form1::buildDefinition()
{
    setObjectName(u"Form1"_s);
    setWindowTitle(u"Lumaro         "_s);
    setFont(defaultFont());

    auto *client = new QWidget(this);
    setCentralWidget(client);
    QWidget *form = client;

    // ---- Picture settings panel
    FramePicture = frame(form, "FramePicture", u"图片设置"_s);
    Command7 = button(FramePicture, "Command7", u"初始化"_s);
    Command6 = button(FramePicture, "Command6", u"保存图片"_s);
    Command6->setEnabled(false);
    Command5 = button(FramePicture, "Command5", u"截取屏幕"_s);
    Command4 = button(FramePicture, "Command4", u"更改图片"_s);

    // ---- Text panel
    FrameWord = frame(form, "FrameWord", u"文字修改"_s);
    Command2 = button(FrameWord, "Command2", u"顶层颜色"_s);
    Command12 = button(FrameWord, "Command12", u"顶层字号更改"_s);
    Command11 = button(FrameWord, "Command11", u"顶层粗体"_s);
    Command10 = button(FrameWord, "Command10", u"底层粗体"_s);
    Text3 = textBox(FrameWord, "Text3", u"12"_s);
    Text3->setFont(captionFont());
    Command9 = button(FrameWord, "Command9", u"底层字号更改"_s);
    Command8 = button(FrameWord, "Command8", u"底层颜色"_s);
    Check1 = make<QCheckBox>(FrameWord, "Check1");
    Check1->setText(u"描边效果"_s);
    LabelText = textBox(FrameWord, "LabelText", QString());
    LabelText->setFont(captionFont());
    Command1 = button(FrameWord, "Command1", u"顶层文字修改"_s);
    Label6 = make<AutoSizeLabel>(FrameWord, "Label6");
    Label6->setFont(captionFont());
    Label6->setCaption(u"字号设置"_s);
    Label6->setAutoSize(true);
    // A one-pixel solid rule from (120, 2280) to (2880, 2280).
    Line1 = make<QFrame>(FrameWord, "Line1");
    Line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    Line1->setLineWidth(1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(1000);
    Timer1->start();

    // ---- Image size panel
    FrameImage = frame(form, "FrameImage", u"图像大小处理"_s);
    Command3 = button(FrameImage, "Command3", u"修改"_s);
    Text2 = textBox(FrameImage, "Text2", u"100"_s);
    Text2->setMaxLength(3);
    Text1 = textBox(FrameImage, "Text1", u"100"_s);
    Text1->setMaxLength(3);
    // Read out by screen readers instead of the panel's title.
    Text1->setAccessibleName(u"宽度百分比"_s);
    Text2->setAccessibleName(u"高度百分比"_s);
    Text3->setAccessibleName(u"字号"_s);
    LabelText->setAccessibleName(u"文字内容"_s);
    Label5 = label(FrameImage, "Label5", u"%"_s);
    Label4 = label(FrameImage, "Label4", u"高:"_s);
    Label3 = label(FrameImage, "Label3", u"%"_s);
    Label2 = label(FrameImage, "Label2", u"宽:"_s);
    LabelHeight = label(FrameImage, "LabelHeight", u"高:"_s);
    LabelWidth = label(FrameImage, "LabelWidth", u"宽:"_s);

    // ---- The shared dialog's stored settings
    Dialog.settings = { u"jpg"_s, u"打开文件"_s, u"jpg,bmp,png"_s };

    // ---- Capture display, caption layers, picture display
    Picture1 = make<CaptureDisplay>(form, "Picture1");
    Picture1->setAccessibleName(u"截图"_s);
    Picture1->hide();

    Label1 = make<AutoSizeLabel>(form, "Label1");
    Labelshow = make<AutoSizeLabel>(form, "Labelshow");
    for (AutoSizeLabel *layer : { Label1, Labelshow }) {
        layer->setFont(captionFont());
        layer->setCaption(u"Moku"_s);
        layer->setAutoSize(true);
        // Presses go through the caption to the picture under it, so the
        // caption can be moved by pressing anywhere on the picture.
        layer->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    Labelshow->hide();

    Imageshow = make<PictureDisplay>(form, "Imageshow");
    Imageshow->setAccessibleName(u"图片"_s);
    {
        const QImage image = defaultPicture();
        Imageshow->setPicture({ image, image.size(), {} });
    }
    setWindowIcon(programIcon());

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
    auto *menuStyle = new MenuBarStyle;
    menuStyle->setParent(menuBar());
    menuBar()->setStyle(menuStyle);
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
    new KeepClientHeight(this, twips::toPixels(7425));
}

} // namespace lumaro
