// The screen-region selector on synthetic screens: inclusive corners, the
// whole screen, one pixel, clamping, and how the user accepts or cancels.

#include "Selection.h"
#include "SelectionOverlay.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCapture : public QObject
{
    Q_OBJECT
private slots:
    void dragSelects_data();
    void dragSelects();
    void keysMoveAndResizeInsideTheScreen();

    void fullScreenDragGivesTheWholeScreen();
    void onePixelSelection();
    void selectionIsTheFrozenPixels();
    void cancelByEscOrRightClick_data();
    void cancelByEscOrRightClick();
    void enterWithoutASelectionTakesTheScreen();
};

void TestCapture::dragSelects_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("selected");
    const QRect screen(0, 0, 1920, 1080);
    QTest::newRow("whole screen") << QPoint(0, 0) << QPoint(1919, 1079) << screen;
    QTest::newRow("backwards") << QPoint(1919, 1079) << QPoint(0, 0) << screen;
    QTest::newRow("one pixel") << QPoint(5, 7) << QPoint(5, 7) << QRect(5, 7, 1, 1);
    QTest::newRow("one column") << QPoint(5, 7) << QPoint(5, 99) << QRect(5, 7, 1, 93);
    QTest::newRow("past the edges") << QPoint(-50, -50) << QPoint(5000, 5000) << screen;
    QTest::newRow("corners inclusive") << QPoint(10, 20) << QPoint(209, 211) << QRect(10, 20, 200, 192);
}

void TestCapture::dragSelects()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QRect, selected);
    Selection s(QRect(0, 0, 1920, 1080));
    QVERIFY(s.isEmpty());
    s.press(from);
    s.drag(to);
    s.finishDrag();
    QCOMPARE(s.rect(), selected);
}

void TestCapture::keysMoveAndResizeInsideTheScreen()
{
    Selection s(QRect(0, 0, 100, 100));
    s.move(10, 10); // nothing selected: nothing moves
    QVERIFY(s.isEmpty());
    s.press(QPoint(10, 10));
    s.drag(QPoint(19, 19));
    s.move(-100, 5);
    QCOMPARE(s.rect(), QRect(0, 15, 10, 10));
    s.move(1000, 1000);
    QCOMPARE(s.rect(), QRect(90, 90, 10, 10));
    s.resize(50, 50);
    QCOMPARE(s.rect(), QRect(90, 90, 10, 10));
    s.resize(-50, -3);
    QCOMPARE(s.rect(), QRect(90, 90, 1, 7));
}

namespace {

QPixmap syntheticScreen(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x % 256, y % 256, (x / 256 + y / 256) * 40 % 256));
    return QPixmap::fromImage(img);
}

// Sent by hand: QTest takes a press at (0, 0) for "the widget's centre".
void send(QWidget *w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void drag(QWidget *w, QPoint from, QPoint to)
{
    send(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(w, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    send(w, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

} // namespace

void TestCapture::fullScreenDragGivesTheWholeScreen()
{
    const QPixmap screen = syntheticScreen(640, 480);
    SelectionOverlay overlay(screen, QRect(0, 0, 640, 480));
    QSignalSpy finished(&overlay, &SelectionOverlay::finished);
    drag(&overlay, QPoint(0, 0), QPoint(639, 479));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(overlay.outcome(), SelectionOverlay::Outcome::Accepted);
    QCOMPARE(overlay.selectedImage(), screen.toImage());
}

void TestCapture::onePixelSelection()
{
    const QPixmap screen = syntheticScreen(64, 48);
    SelectionOverlay overlay(screen, QRect(0, 0, 64, 48));
    QTest::mouseClick(&overlay, Qt::LeftButton, {}, QPoint(33, 21));
    QCOMPARE(overlay.outcome(), SelectionOverlay::Outcome::Accepted);
    const QImage one = overlay.selectedImage();
    QCOMPARE(one.size(), QSize(1, 1));
    QCOMPARE(one.pixel(0, 0), screen.toImage().pixel(33, 21));
}

void TestCapture::selectionIsTheFrozenPixels()
{
    // The screen as grabbed at twice the logical resolution: the selection
    // comes out at the screen's own resolution.
    const QPixmap screen = syntheticScreen(800, 600);
    SelectionOverlay overlay(screen, QRect(0, 0, 400, 300));
    drag(&overlay, QPoint(100, 50), QPoint(150, 75));
    QCOMPARE(overlay.selectedRect(), QRect(QPoint(200, 100), QPoint(300, 150)));
    QCOMPARE(overlay.selectedImage(), screen.toImage().copy(QRect(QPoint(200, 100), QPoint(300, 150))));
}

void TestCapture::cancelByEscOrRightClick_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Esc") << true;
    QTest::newRow("right click") << false;
}

void TestCapture::cancelByEscOrRightClick()
{
    QFETCH(bool, escape);
    SelectionOverlay overlay(syntheticScreen(64, 48), QRect(0, 0, 64, 48));
    QSignalSpy finished(&overlay, &SelectionOverlay::finished);
    QTest::mousePress(&overlay, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(&overlay, QPoint(20, 20));
    if (escape)
        QTest::keyClick(&overlay, Qt::Key_Escape);
    else
        QTest::mouseClick(&overlay, Qt::RightButton, {}, QPoint(20, 20));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(overlay.outcome(), SelectionOverlay::Outcome::Cancelled);
    QVERIFY(overlay.selectedImage().isNull());
    // Nothing after the end changes the outcome.
    QTest::mouseRelease(&overlay, Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(overlay.outcome(), SelectionOverlay::Outcome::Cancelled);
}

void TestCapture::enterWithoutASelectionTakesTheScreen()
{
    const QPixmap screen = syntheticScreen(64, 48);
    SelectionOverlay overlay(screen, QRect(0, 0, 64, 48));
    QTest::keyClick(&overlay, Qt::Key_Return);
    QCOMPARE(overlay.outcome(), SelectionOverlay::Outcome::Accepted);
    QCOMPARE(overlay.selectedImage().size(), QSize(64, 48));
}

QTEST_MAIN(TestCapture)
#include "tst_capture.moc"
