// The window as built at start: geometry in twips, fonts, input limits, tab
// and stacking order, the read-out, and the embedded pictures.

#include "fakes.h"

#include "window/AutoSizeLabel.h"
#include "window/CaptureDisplay.h"
#include "window/PictureDisplay.h"
#include "common/ColorRef.h"
#include "window/RoundToEven.h"
#include "window/SizeText.h"
#include "window/StartPictures.h"
#include "window/Twips.h"

#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QSet>
#include <QImageReader>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void controlsSitAtTheirTwips_data();
    void controlsSitAtTheirTwips();
    void autoSizedLabelsFitTheirCaptionInTheirFont();
    void labelGrowsRightAndDownFromItsCorner();
    void captionFontIsSongStyleWithFallbacks();
    void clientAreaAndTitle();
    void resizingTheWindowMovesNothing();
    void noSeamsAtAnyScale();

    void tabWalksTheOrderSkippingHiddenAndDisabled();
    void enterAndEscInATextBoxPressNoButton();
    void enterOrSpaceOnAFocusedButtonClicksIt_data();
    void enterOrSpaceOnAFocusedButtonClicksIt();
    void percentBoxesTakeAtMostThreeCharacters_data();
    void percentBoxesTakeAtMostThreeCharacters();
    void pastingIsLimitedToo();
    void hidingAFrameHidesItsChildrenButNotTheCaption();
    void stackingPutsEarlierSiblingsInFront();
    void menusAndAccessKeys();

    void readOutAtLoadAndAfterATick();
    void sizeText_data();
    void sizeText();
    void roundingTiesToEven_data();
    void roundingTiesToEven();
    void fractionalTwipsSurviveARoundTrip();

    void defaultPictureIsABaselineJfif();
    void iconHasTwoSixteenColourImages();
    void defaultPictureIsStretchedTo200x192();
    void everyControlCanBeReadFromOutside();
};

namespace {

// Where each control belongs, in twips from its parent's top-left corner, as
// the window was designed; written out here, apart from the table the window
// is built from, so that a control moved there is a control out of place.
struct DesignedPlace
{
    const char *name;
    const char *parent;
    int left, top, width, height; // width and height 0: sized to its caption
};

constexpr DesignedPlace Designed[] = {
    { "FramePicture", "Form1", 1800, 120, 1575, 3015 },
    { "Command7", "FramePicture", 120, 2040, 1215, 495 },
    { "Command6", "FramePicture", 120, 1440, 1215, 495 },
    { "Command5", "FramePicture", 120, 840, 1215, 495 },
    { "Command4", "FramePicture", 120, 240, 1215, 495 },
    { "FrameWord", "Form1", 120, 3240, 3255, 3855 },
    { "Command2", "FrameWord", 120, 1320, 1215, 375 },
    { "Command12", "FrameWord", 120, 3000, 1335, 615 },
    { "Command11", "FrameWord", 120, 1800, 1215, 375 },
    { "Command10", "FrameWord", 1800, 1800, 1215, 375 },
    { "Text3", "FrameWord", 1560, 2520, 1335, 375 },
    { "Command9", "FrameWord", 1680, 3000, 1335, 615 },
    { "Command8", "FrameWord", 1800, 1320, 1215, 375 },
    { "Check1", "FrameWord", 1920, 840, 1095, 255 },
    { "LabelText", "FrameWord", 120, 240, 2655, 360 },
    { "Command1", "FrameWord", 120, 720, 1575, 495 },
    { "Label6", "FrameWord", 240, 2520, 0, 0 },
    // A rule from (120, 2280) to (2880, 2280), one pixel thick.
    { "Line1", "FrameWord", 120, 2280, 2880 - 120, 15 },
    { "FrameImage", "Form1", 120, 240, 1575, 2895 },
    { "Command3", "FrameImage", 240, 2280, 735, 375 },
    { "Text2", "FrameImage", 480, 1800, 495, 270 },
    { "Text1", "FrameImage", 480, 1320, 495, 270 },
    { "Label5", "FrameImage", 1080, 1800, 0, 0 },
    { "Label4", "FrameImage", 120, 1800, 0, 0 },
    { "Label3", "FrameImage", 1080, 1320, 0, 0 },
    { "Label2", "FrameImage", 120, 1320, 0, 0 },
    { "LabelHeight", "FrameImage", 120, 840, 0, 0 },
    { "LabelWidth", "FrameImage", 120, 360, 0, 0 },
    { "Picture1", "Form1", 3960, 0, 255, 255 },
    { "Label1", "Form1", 5760, 2160, 0, 0 },
    { "Labelshow", "Form1", 5760, 2520, 0, 0 },
    { "Imageshow", "Form1", 3600, 120, 3000, 2880 },
};

} // namespace

void TestWindow::controlsSitAtTheirTwips_data()
{
    // Every control with a fixed size; the auto-sized labels are checked
    // against their captions below.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("twips");
    for (const DesignedPlace &c : Designed)
        if (c.width > 0)
            QTest::newRow(c.name) << QString::fromLatin1(c.name) << QString::fromLatin1(c.parent)
                                  << QRect(c.left, c.top, c.width, c.height);
}

void TestWindow::controlsSitAtTheirTwips()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, twips);
    Fixture f;
    auto *w = f->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->parentWidget()->objectName().isEmpty() ? u"Form1"_s : w->parentWidget()->objectName(), parent);
    QCOMPARE(w->geometry(), QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    QCOMPARE(twips::left(w), float(twips.x()));
    QCOMPARE(twips::top(w), float(twips.y()));
    QCOMPARE(twips::width(w), float(twips.width()));
    QCOMPARE(twips::height(w), float(twips.height()));
}

void TestWindow::autoSizedLabelsFitTheirCaptionInTheirFont()
{
    Fixture f;
    int labels = 0;
    for (const DesignedPlace &c : Designed) {
        if (c.width > 0)
            continue;
        auto *label = f->findChild<AutoSizeLabel *>(QString::fromLatin1(c.name));
        QVERIFY2(label, c.name);
        QCOMPARE(label->parentWidget()->objectName().isEmpty() ? u"Form1"_s : label->parentWidget()->objectName(),
                 QString::fromLatin1(c.parent));
        const QFontMetrics fm(label->font());
        QCOMPARE(label->pos(), QPoint(c.left / 15, c.top / 15));
        QCOMPARE(label->width(), fm.horizontalAdvance(label->text()));
        QCOMPARE(label->height(), fm.height());
        QVERIFY2(!label->autoFillBackground(), "caption labels are transparent");
        QCOMPARE(label->textFormat(), Qt::PlainText);
        ++labels;
    }
    QCOMPARE(labels, 9);
    // A caption label is 12 pt: 16 px at 96 dpi.
    QCOMPARE(QFontInfo(f->Label1->font()).pixelSize(), 16);
    QCOMPARE(QFontInfo(f->Label2->font()).pixelSize(), 12);
}

void TestWindow::labelGrowsRightAndDownFromItsCorner()
{
    Fixture f;
    const QPoint corner = f->Label1->pos();
    const QSize before = f->Label1->size();
    f->Label1->setCaption(u"一段更长的说明文字"_s);
    QCOMPARE(f->Label1->pos(), corner);
    QVERIFY(f->Label1->width() > before.width());
    f->Label1->setFontSize(30);
    QCOMPARE(f->Label1->pos(), corner);
    QVERIFY(f->Label1->height() > before.height());
    QCOMPARE(f->Label1->height(), QFontMetrics(f->Label1->font()).height());
}

void TestWindow::captionFontIsSongStyleWithFallbacks()
{
    Fixture f;
    for (QWidget *w : std::initializer_list<QWidget *>{ f->Label1, f->Labelshow, f->Label6, f->LabelText, f->Text3 }) {
        QVERIFY(w->font().families().size() > 2);
    }
    // Chinese glyphs exist in whichever family the caption font resolves to.
    QVERIFY(QFontMetrics(f->Label1->font()).inFont(QChar(u'字')));
}

void TestWindow::clientAreaAndTitle()
{
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QCOMPARE(f->centralWidget()->size(), QSize(565, 495));
    QCOMPARE(f->centralWidget()->y(), f->menuBar()->height());
}

// Run at 125 % and 175 % too (QT_SCALE_FACTOR, see CMakeLists.txt): there
// most logical pixels fall between two of the screen's, and lines drawn in
// pieces may leave one out.
void TestWindow::noSeamsAtAnyScale()
{
    Fixture f;
    // A capture whose every pixel says where it is.
    QImage capture(41, 29, QImage::Format_RGB32);
    for (int y = 0; y < capture.height(); ++y)
        for (int x = 0; x < capture.width(); ++x)
            capture.setPixel(x, y, qRgb(200, 4 * x, 8 * y));
    f.fakes.clipboard.picture = capture;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    f->Command5_Click();
    QTRY_VERIFY(!f->Picture1->isHidden());
    QTest::qWait(50);
    // Rendered as the window's buffer is, in the screen's pixels.
    QImage shown = f->grab().toImage().convertToFormat(QImage::Format_RGB32);
    shown.setDevicePixelRatio(1);
    const qreal ratio = f->devicePixelRatioF();
    QCOMPARE(shown.width(), int(std::lround(f->width() * ratio)));

    // The line along the menu bar's bottom runs unbroken.
    const QColor window = f->palette().window().color();
    const int bar = int(std::lround(f->menuBar()->height() * ratio));
    int lineRow = -1;
    for (int y = bar - 1; y >= bar - int(std::ceil(2 * ratio)) && lineRow < 0; --y)
        if (QColor(shown.pixel(shown.width() - 2, y)) != window)
            lineRow = y;
    QVERIFY2(lineRow >= 0, "no line under the menu bar");
    for (int x = 1; x < shown.width() - 1; ++x)
        QVERIFY2(QColor(shown.pixel(x, lineRow)) != window,
                 qPrintable(u"a gap in the menu bar's line at %1, %2"_s.arg(x).arg(lineRow)));

    // The capture display shows the capture pixel for pixel, its border
    // right against it: no background between them.
    const QPoint at = f->Picture1->mapTo(f.form.get(), QPoint(0, 0));
    const QRect box(int(std::lround(at.x() * ratio)), int(std::lround(at.y() * ratio)),
                    int(std::lround(f->Picture1->width() * ratio)), int(std::lround(f->Picture1->height() * ratio)));
    QPoint origin(-1, -1);
    for (int y = box.top(); y < box.top() + 6 && origin.x() < 0; ++y)
        for (int x = box.left(); x < box.left() + 6 && origin.x() < 0; ++x)
            if (shown.pixel(x, y) == capture.pixel(0, 0))
                origin = QPoint(x, y);
    QVERIFY2(origin.x() >= 0, "the capture's first pixel is not near the display's corner");
    QCOMPARE(shown.copy(QRect(origin, capture.size())), capture);
    for (int x = origin.x() - 1; x <= origin.x() + capture.width(); ++x)
        for (int y : { origin.y() - 1, origin.y() + capture.height() }) {
            QVERIFY2(QColor(shown.pixel(x, y)) != window, qPrintable(u"background at %1, %2"_s.arg(x).arg(y)));
        }
    for (int y = origin.y() - 1; y <= origin.y() + capture.height(); ++y)
        for (int x : { origin.x() - 1, origin.x() + capture.width() }) {
            QVERIFY2(QColor(shown.pixel(x, y)) != window, qPrintable(u"background at %1, %2"_s.arg(x).arg(y)));
        }
}

void TestWindow::resizingTheWindowMovesNothing()
{
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QList<std::pair<QWidget *, QRect>> before;
    for (QWidget *w : f->centralWidget()->findChildren<QWidget *>())
        before.append({ w, w->geometry() });
    f->resize(1200, 900);
    QTRY_COMPARE(f->width(), 1200);
    for (const auto &[w, g] : before)
        QCOMPARE(w->geometry(), g);
}

void TestWindow::tabWalksTheOrderSkippingHiddenAndDisabled()
{
    Fixture f;
    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    QCOMPARE(QApplication::focusWidget(), f->Text1);

    const QStringList expected = { u"Text2"_s, u"Command3"_s, u"Command1"_s, u"LabelText"_s, u"Command4"_s,
                                   u"Command5"_s, u"Command7"_s, u"Check1"_s, u"Command8"_s, u"Command9"_s,
                                   u"Text3"_s, u"Command10"_s, u"Command11"_s, u"Command12"_s, u"Command2"_s,
                                   u"Text1"_s };
    QStringList walked;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(walked, expected);

    // Once shown and enabled, Picture1 and Command6 take their places.
    f->Picture1->show();
    f->Command6->setEnabled(true);
    f->Command4->setFocus();
    QTest::keyClick(f->Command4, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f->Picture1);
    QTest::keyClick(f->Picture1, Qt::Key_Tab);
    QTest::keyClick(f->Command5, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f->Command6);
}

void TestWindow::enterAndEscInATextBoxPressNoButton()
{
    Fixture f;
    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    QList<QSignalSpy *> spies;
    for (QPushButton *b : f->findChildren<QPushButton *>())
        spies << new QSignalSpy(b, &QPushButton::clicked);
    for (QLineEdit *box : { f->Text1, f->Text2, f->Text3, f->LabelText }) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Enter);
        QTest::keyClick(box, Qt::Key_Escape);
    }
    for (QSignalSpy *s : spies)
        QCOMPARE(s->count(), 0);
    qDeleteAll(spies);
    QVERIFY(f->isVisible());
}

void TestWindow::enterOrSpaceOnAFocusedButtonClicksIt_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("clicks");
    QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << 1;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1;
    QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << 1;
    QTest::newRow("Ctrl+Enter") << int(Qt::Key_Return) << int(Qt::ControlModifier) << 0;
    QTest::newRow("Esc") << int(Qt::Key_Escape) << int(Qt::NoModifier) << 0;
}

void TestWindow::enterOrSpaceOnAFocusedButtonClicksIt()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, clicks);
    Fixture f;
    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    for (QPushButton *b : f->findChildren<QPushButton *>()) {
        if (!b->isEnabled())
            continue;
        QSignalSpy clicked(b, &QPushButton::clicked);
        b->setFocus();
        QTest::keyClick(b, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QVERIFY2(clicked.count() == clicks, qPrintable(b->objectName()));
        QVERIFY(!b->isDefault());
    }
}

void TestWindow::percentBoxesTakeAtMostThreeCharacters_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("Text1 fourth digit refused") << u"Text1"_s << u"1234"_s << u"123"_s;
    QTest::newRow("Text2 fourth digit refused") << u"Text2"_s << u"9999"_s << u"999"_s;
    QTest::newRow("Text1 exponent form") << u"Text1"_s << u"1E3"_s << u"1E3"_s;
    QTest::newRow("Text3 has no limit") << u"Text3"_s << u"123456789"_s << u"123456789"_s;
    QTest::newRow("LabelText has no limit") << u"LabelText"_s << u"a long caption"_s << u"a long caption"_s;
}

void TestWindow::percentBoxesTakeAtMostThreeCharacters()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    Fixture f;
    auto *edit = f->findChild<QLineEdit *>(box);
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), kept);
}

void TestWindow::pastingIsLimitedToo()
{
    Fixture f;
    QApplication::clipboard()->setText(u"12345"_s);
    f->Text1->clear();
    f->Text1->paste();
    QCOMPARE(f->Text1->text(), u"123"_s);
    f->Text2->setText(u"5"_s);
    f->Text2->end(false);
    f->Text2->paste();
    QCOMPARE(f->Text2->text().size(), 3);
}

void TestWindow::hidingAFrameHidesItsChildrenButNotTheCaption()
{
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    f->FrameWord->hide();
    for (QWidget *w : std::initializer_list<QWidget *>{ f->Check1, f->LabelText, f->Text3, f->Line1, f->Command1,
                                                        f->Command2, f->Command8, f->Command9, f->Command10,
                                                        f->Command11, f->Command12, f->Label6 })
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QVERIFY(f->Label1->isVisible());
    QVERIFY(f->FrameImage->isVisible());
    f->FrameWord->show();
    QVERIFY(f->Check1->isVisible());
}

void TestWindow::stackingPutsEarlierSiblingsInFront()
{
    Fixture f;
    const QObjectList kids = f->centralWidget()->children(); // back to front
    auto depth = [&](QWidget *w) { return kids.indexOf(w); };
    QVERIFY(depth(f->Picture1) > depth(f->Label1));
    QVERIFY(depth(f->Label1) > depth(f->Labelshow));
    QVERIFY(depth(f->Labelshow) > depth(f->Imageshow));
    QVERIFY(depth(f->FramePicture) > depth(f->FrameImage));
    // The caption lets presses through to the picture below it.
    QVERIFY(f->Label1->testAttribute(Qt::WA_TransparentForMouseEvents));
    QVERIFY(f->Labelshow->testAttribute(Qt::WA_TransparentForMouseEvents));
}

void TestWindow::menusAndAccessKeys()
{
    Fixture f;
    const QList<QAction *> bar = f->menuBar()->actions();
    QCOMPARE(bar.size(), 3);
    QCOMPARE(bar[0]->text(), u"文件(&F)"_s);
    QCOMPARE(bar[1]->text(), u"窗口(&W)"_s);
    QCOMPARE(bar[2]->text(), u"帮助(&H)"_s);
    QStringList items;
    for (QMenu *m : { f->wenjian, f->FormShow, f->Help })
        for (QAction *a : m->actions())
            items << a->objectName() + u'=' + a->text();
    QCOMPARE(items, (QStringList{ u"FileOpen=打开"_s, u"FormFont=字体窗口"_s, u"FormImage=图像窗口"_s,
                                  u"FormWord=文字窗口"_s, u"FormPicture=图片窗口"_s, u"Speak=说明"_s,
                                  u"web=网站"_s }));
    for (QMenu *m : { f->wenjian, f->FormShow, f->Help })
        for (QAction *a : m->actions())
            QVERIFY(a->shortcut().isEmpty() && !a->isCheckable());

    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    QTest::keyClick(f.form.get(), Qt::Key_W, Qt::AltModifier);
    QTRY_VERIFY(f->FormShow->isVisible());
    f->FormShow->close();
}

void TestWindow::readOutAtLoadAndAfterATick()
{
    Fixture f;
    QCOMPARE(f->LabelWidth->caption(), u"宽:3000"_s);
    QCOMPARE(f->LabelHeight->caption(), u"高:2880"_s);
    QCOMPARE(f->BaseWidth, 3000);
    QCOMPARE(f->BaseHeight, 2880);

    twips::setWidth(f->Imageshow, 1584.5f);
    twips::setHeight(f->Imageshow, 75.0f);
    QCOMPARE(f->LabelWidth->caption(), u"宽:3000"_s); // not before the tick
    QCOMPARE(f->Timer1->interval(), 1000);
    QVERIFY(f->Timer1->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(f->LabelWidth->caption(), u"宽:1584.5"_s, 3000);
    QCOMPARE(f->LabelHeight->caption(), u"高:75"_s);
    QCOMPARE(f->BaseWidth, 3000);
    QCOMPARE(f->BaseHeight, 2880);

    // Still the hidden display's size while it is hidden.
    f->Imageshow->hide();
    twips::setWidth(f->Imageshow, 600.0f);
    f->Timer1_Timer();
    QCOMPARE(f->LabelWidth->caption(), u"宽:600"_s);
}

void TestWindow::sizeText_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 3000.0f << u"3000"_s;
    QTest::newRow("half") << 1584.5f << u"1584.5"_s;
    QTest::newRow("zero") << 0.0f << u"0"_s;
    QTest::newRow("negative zero") << -0.0f << u"0"_s;
    QTest::newRow("single precision tenth") << 0.1f << u"0.1"_s;
    QTest::newRow("seven digits") << 1234567.0f << u"1234567"_s;
    QTest::newRow("third") << 1000.0f / 3.0f << u"333.3333"_s;
    QTest::newRow("eight digits") << 12345678.0f << u"1.234568E+07"_s;
    QTest::newRow("ten million") << 1.0e7f << u"1E+07"_s;
}

void TestWindow::sizeText()
{
    QFETCH(float, value);
    QFETCH(QString, text);
    QCOMPARE(lumaro::sizeText(value), text);
}

void TestWindow::roundingTiesToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("rounded");
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("1584.5") << 1584.5 << 1584;
    QTest::newRow("1585.5") << 1585.5 << 1586;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("2.5000001") << 2.5000001 << 3;
    QTest::newRow("nan") << std::nan("") << 0;
    QTest::newRow("beyond 32 bits") << 1e12 << std::numeric_limits<int>::max();
}

void TestWindow::roundingTiesToEven()
{
    QFETCH(double, value);
    QFETCH(int, rounded);
    QCOMPARE(roundToEven(value), rounded);
}

void TestWindow::fractionalTwipsSurviveARoundTrip()
{
    Fixture f;
    twips::setWidth(f->Imageshow, 1584.5f);
    QCOMPARE(twips::width(f->Imageshow), 1584.5f);
    QCOMPARE(f->Imageshow->width(), 106);
    // Moved by other means, the widget reports its pixels again.
    f->Imageshow->resize(10, 10);
    QCOMPARE(twips::width(f->Imageshow), 150.0f);
    QCOMPARE(twips::toPixels(-7.5), 0);
    QCOMPARE(twips::toPixels(7.5), 1);
}

void TestWindow::defaultPictureIsABaselineJfif()
{
    // What the window relies on: a baseline JFIF 1.01 JPEG, 8 bits per
    // sample, three components without chroma subsampling, 200 x 200, that
    // loads. (Its exact size in bytes is the generator's to keep.)
    QFile file(u":/window/default.jpg"_s);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray b = file.readAll();
    QCOMPARE(b.left(2), QByteArray("\xFF\xD8"));
    QCOMPARE(b.mid(6, 5), QByteArray("JFIF\0", 5));
    QCOMPARE(int(uchar(b[11])), 1); // version 1.01
    QCOMPARE(int(uchar(b[12])), 1);
    const int sof = b.indexOf("\xFF\xC0");
    QVERIFY2(sof > 0, "baseline frame header");
    QCOMPARE(b.indexOf("\xFF\xC2"), -1); // not progressive
    QCOMPARE(int(uchar(b[sof + 4])), 8);  // bits per sample
    QCOMPARE(int(uchar(b[sof + 9])), 3);
    for (int c = 0; c < 3; ++c)
        QCOMPARE(int(uchar(b[sof + 11 + 3 * c])), 0x11); // no chroma subsampling
    const QImage image(u":/window/default.jpg"_s);
    QCOMPARE(image.size(), QSize(200, 200));
}

void TestWindow::iconHasTwoSixteenColourImages()
{
    // Two images, 32 x 32 and 16 x 16, 16 colours each, that load.
    QImageReader reader(u":/window/lumaro.ico"_s);
    QCOMPARE(reader.imageCount(), 2);
    QList<QSize> sizes;
    for (int i = 0; i < 2; ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY(!image.isNull());
        sizes << image.size();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) > 0)
                    colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() <= 16, qPrintable(QString::number(colours.size())));
    }
    QCOMPARE(sizes, (QList<QSize>{ QSize(32, 32), QSize(16, 16) }));
    QVERIFY(!QIcon(u":/window/lumaro.ico"_s).isNull());
    // The windows' icon, decoded as a start decodes it, holds both.
    decodeStartPicturesAhead();
    QCOMPARE(programIcon().availableSizes(), (QList<QSize>{ QSize(32, 32), QSize(16, 16) }));
    QCOMPARE(defaultPicture().size(), QSize(200, 200));
}

void TestWindow::defaultPictureIsStretchedTo200x192()
{
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    const QImage shown = f->Imageshow->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), QSize(200, 192));
    const QImage expected = QImage(u":/window/default.jpg"_s)
                                .scaled(200, 192, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_RGB32);
    int worst = 0;
    for (int y = 0; y < 192; y += 7)
        for (int x = 0; x < 200; x += 7) {
            const QRgb a = shown.pixel(x, y), e = expected.pixel(x, y);
            worst = std::max({ worst, std::abs(qRed(a) - qRed(e)), std::abs(qGreen(a) - qGreen(e)),
                               std::abs(qBlue(a) - qBlue(e)) });
        }
    QVERIFY2(worst <= 12, qPrintable(u"largest channel difference %1"_s.arg(worst)));
}

void TestWindow::everyControlCanBeReadFromOutside()
{
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    const QStringList names = { u"FramePicture"_s, u"Command7"_s, u"Command6"_s, u"Command5"_s, u"Command4"_s,
                                u"FrameWord"_s, u"Command2"_s, u"Command12"_s, u"Command11"_s, u"Command10"_s,
                                u"Text3"_s, u"Command9"_s, u"Command8"_s, u"Check1"_s, u"LabelText"_s,
                                u"Command1"_s, u"Label6"_s, u"Line1"_s, u"FrameImage"_s, u"Command3"_s,
                                u"Text2"_s, u"Text1"_s, u"Label5"_s, u"Label4"_s, u"Label3"_s, u"Label2"_s,
                                u"LabelHeight"_s, u"LabelWidth"_s, u"Picture1"_s, u"Label1"_s,
                                u"Labelshow"_s, u"Imageshow"_s };
    for (const QString &name : names) {
        auto *w = f->findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        QVERIFY2(a && a->isValid(), qPrintable(name));
        if (auto *label = qobject_cast<AutoSizeLabel *>(w)) {
            QCOMPARE(a->role(), QAccessible::StaticText);
            QCOMPARE(a->text(QAccessible::Name), label->text());
            if (label->isVisible())
                QCOMPARE(a->rect(), QRect(label->mapToGlobal(QPoint(0, 0)), label->size()));
        }
        if (auto *b = qobject_cast<QPushButton *>(w)) {
            QCOMPARE(a->role(), QAccessible::Button);
            QCOMPARE(a->text(QAccessible::Name), b->text());
            QCOMPARE(bool(a->state().disabled), !b->isEnabled());
        }
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(f->Text1)->text(QAccessible::Value), u"100"_s);
    QVERIFY(QAccessible::queryAccessibleInterface(f->Check1)->state().checkable);
    QCOMPARE(f->findChild<QObject *>(u"Timer1"_s), f->Timer1);
}

LUMARO_TEST_MAIN(TestWindow)
#include "tst_window.moc"
