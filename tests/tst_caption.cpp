// Caption placement, the outline layer, and the caption's text and style.

#include "fakes.h"

#include "window/AutoSizeLabel.h"
#include "window/CaptureDisplay.h"
#include "window/PictureDisplay.h"
#include "common/ColorRef.h"
#include "window/RoundToEven.h"
#include "window/SizeText.h"
#include "window/Twips.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

class TestCaption : public QObject
{
    Q_OBJECT
private slots:
    void pressPlacesTheCaption_data();
    void pressPlacesTheCaption();
    void everyButtonPlacesTheCaption_data();
    void everyButtonPlacesTheCaption();
    void aPressOnTheCaptionReachesThePicture();
    void nothingLimitsThePositionButUnplaceablePressesAreIgnored();
    void outlineTogglesAndCopiesButNeverMoves();

    void topTextChangesOnlyTheTopLayer();
    void colourDialogAppliesEvenWhenCancelled();
    void sizeRule_data();
    void sizeRule();
    void boldTwiceRestores();
};

void TestCaption::pressPlacesTheCaption_data()
{
    QTest::addColumn<bool>("outline");
    QTest::addColumn<QSizeF>("bottomSize"); // Labelshow's size relative to Label1's, in twips
    QTest::addColumn<QPointF>("press");
    QTest::addColumn<QPointF>("top");
    QTest::addColumn<QPointF>("bottom");
    const QPointF bottomStart(5760, 2520);
    QTest::newRow("corner press") << false << QSizeF(0, 0) << QPointF(0, 0) << QPointF(3600, 120) << bottomStart;
    QTest::newRow("outline off leaves the bottom layer")
        << false << QSizeF(200, 100) << QPointF(300, 450) << QPointF(3900, 570) << bottomStart;
    QTest::newRow("same size lands exactly under")
        << true << QSizeF(0, 0) << QPointF(300, 450) << QPointF(3900, 570) << QPointF(3900, 570);
    QTest::newRow("200 x 100 larger sits 100 left, 50 up")
        << true << QSizeF(200, 100) << QPointF(300, 450) << QPointF(3900, 570) << QPointF(3800, 520);
    QTest::newRow("smaller sits inside")
        << true << QSizeF(-30, -60) << QPointF(0, 0) << QPointF(3600, 120) << QPointF(3615, 150);
    QTest::newRow("fractional twips are kept")
        << true << QSizeF(15, 15) << QPointF(7.5f, 22.5f) << QPointF(3607.5, 142.5) << QPointF(3600, 135);
    QTest::newRow("beyond the picture")
        << false << QSizeF(0, 0) << QPointF(99999, -99999) << QPointF(103599, -99879) << bottomStart;
}

void TestCaption::pressPlacesTheCaption()
{
    QFETCH(bool, outline);
    QFETCH(QSizeF, bottomSize);
    QFETCH(QPointF, press);
    QFETCH(QPointF, top);
    QFETCH(QPointF, bottom);
    Fixture f;
    f->Check1->setChecked(outline);
    twips::setWidth(f->Labelshow, twips::width(f->Label1) + float(bottomSize.width()));
    twips::setHeight(f->Labelshow, twips::height(f->Label1) + float(bottomSize.height()));

    f->Imageshow_MouseDown(1, 0, float(press.x()), float(press.y()));
    QCOMPARE(QPointF(twips::left(f->Label1), twips::top(f->Label1)), top);
    QCOMPARE(QPointF(twips::left(f->Labelshow), twips::top(f->Labelshow)), bottom);
}

void TestCaption::everyButtonPlacesTheCaption_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("left") << Qt::LeftButton << Qt::KeyboardModifiers();
    QTest::newRow("right") << Qt::RightButton << Qt::KeyboardModifiers();
    QTest::newRow("middle") << Qt::MiddleButton << Qt::KeyboardModifiers();
    QTest::newRow("ctrl+shift+alt left") << Qt::LeftButton
                                         << (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
}

void TestCaption::everyButtonPlacesTheCaption()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QTest::mousePress(f->Imageshow, button, modifiers, QPoint(20, 30));
    QCOMPARE(twips::left(f->Label1), 3600.0f + 20 * 15);
    QCOMPARE(twips::top(f->Label1), 120.0f + 30 * 15);
    QTest::mouseRelease(f->Imageshow, button, modifiers, QPoint(20, 30));
}

void TestCaption::aPressOnTheCaptionReachesThePicture()
{
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    // Press through the window, where Qt decides which control is hit: the
    // middle of the caption label, which lies over the picture.
    const QPoint onCaption = f->Label1->geometry().center();
    const QPoint inWindow = f->centralWidget()->mapTo(f.form.get(), onCaption);
    QTest::mouseClick(f->windowHandle(), Qt::LeftButton, {}, inWindow);
    const QPoint expected = onCaption - f->Imageshow->pos();
    QCOMPARE(twips::left(f->Label1), 3600.0f + expected.x() * 15);
    QCOMPARE(twips::top(f->Label1), 120.0f + expected.y() * 15);
}

void TestCaption::nothingLimitsThePositionButUnplaceablePressesAreIgnored()
{
    Fixture f;
    const QPoint start = f->Label1->pos();
    f->Imageshow_MouseDown(1, 0, std::numeric_limits<float>::infinity(), 10);
    // The top is placed, then the left is not: the press ends there.
    QCOMPARE(twips::top(f->Label1), 130.0f);
    QCOMPARE(f->Label1->x(), start.x());
    f->Imageshow_MouseDown(1, 0, 0, std::nanf(""));
    QCOMPARE(twips::top(f->Label1), 130.0f);
    f->Imageshow_MouseDown(1, 0, 3e38f, 3e38f);
    QCOMPARE(twips::top(f->Label1), 130.0f);
}

void TestCaption::outlineTogglesAndCopiesButNeverMoves()
{
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QVERIFY(!f->Labelshow->isVisible());
    f->Label1->setCaption(u"新的文字"_s);
    const QPoint where = f->Labelshow->pos();

    QTest::mouseClick(f->Check1, Qt::LeftButton);
    QVERIFY(f->Labelshow->isVisible());
    QCOMPARE(f->Labelshow->caption(), u"新的文字"_s);
    QCOMPARE(f->Labelshow->pos(), where);

    // The bottom layer keeps the old text until the box is switched again.
    f->LabelText->setText(u"再改"_s);
    f->Command1_Click();
    QCOMPARE(f->Labelshow->caption(), u"新的文字"_s);

    f->Check1->setFocus();
    QTest::keyClick(f->Check1, Qt::Key_Space);
    QVERIFY(!f->Labelshow->isVisible());
    QCOMPARE(f->Labelshow->caption(), u"再改"_s);
    QCOMPARE(f->Labelshow->pos(), where);
}

void TestCaption::topTextChangesOnlyTheTopLayer()
{
    Fixture f;
    f->LabelText->setText(u"<b>不是标记</b>"_s);
    QTest::mouseClick(f->Command1, Qt::LeftButton);
    QCOMPARE(f->Label1->caption(), u"<b>不是标记</b>"_s);
    QCOMPARE(f->Label1->textFormat(), Qt::PlainText);
    QCOMPARE(f->Labelshow->caption(), u"Moku"_s);
    f->LabelText->clear();
    f->Command1_Click();
    QCOMPARE(f->Label1->caption(), QString());
}

void TestCaption::colourDialogAppliesEvenWhenCancelled()
{
    Fixture f;
    f->Label1->setForeColor(0x123456);
    f.fakes.dialog.nextColor.reset(); // cancelled, nothing ever accepted
    QTest::mouseClick(f->Command2, Qt::LeftButton);
    QCOMPARE(f->Label1->foreColor(), 0u);
    QCOMPARE(f->Label1->palette().color(QPalette::WindowText), QColor(Qt::black));

    f.fakes.dialog.nextColor = 0x0000FF; // red as 0x00BBGGRR
    QTest::mouseClick(f->Command8, Qt::LeftButton);
    QCOMPARE(f->Labelshow->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    f.fakes.dialog.nextColor.reset(); // cancelled: the last accepted colour again
    f->Command2_Click();
    QCOMPARE(f->Label1->foreColor(), 0x0000FFu);
    QCOMPARE(f.fakes.dialog.calls, (QStringList{ u"color"_s, u"color"_s, u"color"_s }));
}

void TestCaption::sizeRule_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("textAfter");
    QTest::addColumn<double>("size"); // 0: the layer keeps its size
    QTest::newRow("empty") << u""_s << u"10"_s << 10.0;
    QTest::newRow("zero") << u"0"_s << u"10"_s << 10.0;
    QTest::newRow("letters") << u"big"_s << u"10"_s << 10.0;
    QTest::newRow("14pt") << u"14pt"_s << u"14pt"_s << 14.0;
    QTest::newRow("fraction") << u"12.5"_s << u"12.5"_s << 12.5;
    QTest::newRow("upper bound") << u"1638"_s << u"1638"_s << 1638.0;
    QTest::newRow("negative") << u"-5"_s << u"-5"_s << 0.0;
    QTest::newRow("beyond the bound") << u"1639"_s << u"1639"_s << 0.0;
    QTest::newRow("overflow") << u"1E999"_s << u"1E999"_s << 0.0;
}

void TestCaption::sizeRule()
{
    QFETCH(QString, typed);
    QFETCH(QString, textAfter);
    QFETCH(double, size);
    for (bool top : { true, false }) {
        Fixture f;
        AutoSizeLabel *layer = top ? f->Label1 : f->Labelshow;
        const QPoint corner = layer->pos();
        f->Text3->setText(typed);
        QTest::mouseClick(top ? f->Command12 : f->Command9, Qt::LeftButton);
        QCOMPARE(f->Text3->text(), textAfter);
        QCOMPARE(layer->fontSize(), size > 0 ? size : 12.0);
        QCOMPARE(layer->pos(), corner);
        QCOMPARE(layer->height(), QFontMetrics(layer->font()).height());
        // The other layer is untouched.
        QCOMPARE((top ? f->Labelshow : f->Label1)->fontSize(), 12.0);
    }
}

void TestCaption::boldTwiceRestores()
{
    Fixture f;
    const int width = f->Label1->width();
    f->Command11_Click();
    QVERIFY(f->Label1->fontBold());
    QVERIFY(!f->Labelshow->fontBold());
    f->Command11_Click();
    QVERIFY(!f->Label1->fontBold());
    QCOMPARE(f->Label1->width(), width);
    f->Command10_Click();
    QVERIFY(f->Labelshow->fontBold());
}

LUMARO_TEST_MAIN(TestCaption)
#include "tst_caption.moc"
