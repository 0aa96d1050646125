// The selector on screen, offscreen: its windows' layout and painting (the
// shade in one pass as QPainter would paint it, the magnifier, the key hint,
// the snapped guides), input that reaches another window of the program,
// and finding the program's own window in a picture of the desktop.

#include "FindPicture.h"
#include "Magnifier.h"
#include "SelectionOverlay.h"
#include "Selector.h"
#include "Shade.h"

#include "capture_fixtures.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QPainter>
#include <QPicture>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace lumaro::capture;
using namespace lumaro::capture::testing;

namespace {

void send(QWidget *w, QEvent::Type type, QPointF global, Qt::MouseButton button, Qt::MouseButtons held,
          Qt::KeyboardModifiers mods = {})
{
    const QPointF local = global - QPointF(w->geometry().topLeft());
    QMouseEvent e(type, local, global, button, held, mods);
    QApplication::sendEvent(w, &e);
}

void press(QWidget *w, QPointF at, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {})
{
    send(w, QEvent::MouseButtonPress, at, b, b, m);
}
void moveTo(QWidget *w, QPointF at, Qt::MouseButtons held = Qt::LeftButton, Qt::KeyboardModifiers m = {})
{
    send(w, QEvent::MouseMove, at, Qt::NoButton, held, m);
}
void release(QWidget *w, QPointF at, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {})
{
    send(w, QEvent::MouseButtonRelease, at, b, Qt::NoButton, m);
}
// A canvas as a window system would show it: only what was put shows. With
// a `frozen` picture, the window system shows that itself, darkened where
// asked, as X11 with the render extension does, and counts the pixels
// darkened afresh where they already showed dark: those would show bright
// for a moment.
struct Paper final : Canvas
{
    Paper(QSize pixels, qreal ratio, const QImage &frozenPicture = {})
        : drawn(pixels, QImage::Format_RGB32)
        , shown(pixels, QImage::Format_RGB32)
        , frozen(frozenPicture.copy())
    {
        drawn.fill(Qt::magenta);
        drawn.setDevicePixelRatio(ratio);
        shown.fill(Qt::green);
        if (!frozen.isNull())
            frozen.setDevicePixelRatio(ratio);
    }
    QImage &image() override { return frozen.isNull() ? drawn : frozen; }
    // As the window system tells it: something put, and no loss since.
    bool stillShown() const override { return putSome && !lost; }
    void put(const QRegion &pixels) override
    {
        QPainter p(&shown);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        for (const QRect &r : pixels)
            p.drawImage(r, drawn, r);
    }
    bool showsFrozen() const override { return !frozen.isNull(); }
    void putFrozen(const QRegion &pixels, const QRegion &dark, int alpha) override
    {
        putSome = true;
        lost = false;
        QImage darkened = frozen.copy();
        darkened.setDevicePixelRatio(1);
        QPainter(&darkened).fillRect(darkened.rect(), QColor(0, 0, 0, alpha));
        for (const QRect &r : dark)
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    flashes += shown.pixel(x, y) == darkened.pixel(x, y);
        QPainter p(&shown);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        for (const QRect &r : pixels)
            p.drawImage(r, frozen, r);
        for (const QRect &r : dark)
            p.drawImage(r, darkened, r);
    }
    void putPiece(const QImage &piece, QPoint at) override
    {
        putSome = true;
        lost = false;
        QPainter p(&shown);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(QRect(at, piece.size()), piece, piece.rect());
    }
    QImage drawn, shown, frozen;
    qsizetype flashes = 0;
    bool putSome = false, lost = false;
};

// A selector over synthetic screens, on screen and with its elements in;
// painted on a Paper canvas when `paper` is given.
struct Harness
{
    explicit Harness(const Layout &layout, Elements elements = {}, Paper **paper = nullptr, bool shownFrozen = false)
        : layout(layout)
        , selector(layout.frozen())
    {
        if (paper)
            selector.setCanvasSource([paper, shownFrozen, this](QWindow *, int i) {
                const FrozenScreen &s = selector.model().screen(i);
                auto canvas = std::make_unique<Paper>(s.image.size(), s.ratio > 0 ? s.ratio : 1.0,
                                                      shownFrozen ? s.image : QImage());
                *paper = canvas.get();
                return canvas;
            });
        selector.setElementSource([elements](const Desktop &, const QList<WId> &) { return Scene{ elements, {} }; });
        selector.show();
        for (int i = 0; i < selector.model().screenCount(); ++i)
            exposed = QTest::qWaitForWindowExposed(selector.overlay(i)) && exposed;
        selector.firstPainted();
        QCoreApplication::processEvents();
    }
    SelectionOverlay *overlay(int i = 0) { return selector.overlay(i); }
    bool exposed = true;
    void key(int k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(overlay(), Qt::Key(k), m); }

    Layout layout;
    Selector selector;
};

} // namespace

class TestOverlay : public QObject
{
    Q_OBJECT
private slots:
    void magnifierPlace_data();
    void magnifierPlace();
    void findPictureInTheDesktop_data();
    void findPictureInTheDesktop();
    void inputOnAnotherWindowCountsWhereItIs_data();
    void inputOnAnotherWindowCountsWhereItIs();
    void keysOnAnotherWindowAreTheSelectors();
    void inputAfterTheOutcomeGoesNowhere();
    void pointerCountsOnceItsWindowIsFound_data();
    void pointerCountsOnceItsWindowIsFound();
    void magnifierShowsThePixelUnderThePointer();
    void shadeAsQPainterDarkens_data();
    void shadeAsQPainterDarkens();
    void frozenScreenPaintsAsQPainterDoes();
    void aCanvasShowsWhatQtPaints_data();
    void aCanvasShowsWhatQtPaints();
    void aSnapIsShownAsItWillBeTaken();
    void hintFollowsTheMode();
};

void TestOverlay::magnifierPlace_data()
{
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QRect>("screen");
    const QRect s(0, 0, 1280, 1024), left(-1280, 0, 1280, 1024);
    for (const QPoint &p : { QPoint(640, 512), QPoint(1279, 500), QPoint(600, 1023), QPoint(1279, 1023),
                             QPoint(0, 0), QPoint(1200, 0), QPoint(0, 1000) })
        QTest::newRow(qPrintable(u"%1,%2"_s.arg(p.x()).arg(p.y()))) << p << s;
    QTest::newRow("screen at a negative origin, its right edge") << QPoint(-1, 1020) << left;
}

void TestOverlay::magnifierPlace()
{
    QFETCH(QPoint, cursor);
    QFETCH(QRect, screen);
    const QRect r = magnifier::place(cursor, screen);
    QVERIFY2(screen.contains(r), "inside the screen");
    QVERIFY2(!r.adjusted(-2, -2, 2, 2).contains(cursor), "never over the pointer");
    QCOMPARE(r.size(), QSize(magnifier::Loupe, magnifier::Loupe + magnifier::TextHeight));
}

void TestOverlay::findPictureInTheDesktop_data()
{
    QTest::addColumn<QPoint>("placed"); // where the window is put; (-1, -1): nowhere
    QTest::addColumn<bool>("pointerOverIt");
    QTest::addColumn<bool>("plain");
    QTest::addColumn<bool>("found");
    QTest::newRow("in the middle") << QPoint(357, 254) << false << false << true;
    QTest::newRow("the pointer drawn over a part of it") << QPoint(357, 254) << true << false << true;
    QTest::newRow("at the top-left corner") << QPoint(0, 0) << false << false << true;
    QTest::newRow("at the bottom-right corner") << QPoint(1280 - 300, 1024 - 200) << false << false << true;
    QTest::newRow("not on the desktop") << QPoint(-1, -1) << false << false << false;
    QTest::newRow("a window of one colour cannot be told apart") << QPoint(100, 100) << false << true << false;
}

void TestOverlay::findPictureInTheDesktop()
{
    QFETCH(QPoint, placed);
    QFETCH(bool, pointerOverIt);
    QFETCH(bool, plain);
    QFETCH(bool, found);
    QImage desktop(1280, 1024, QImage::Format_RGB32);
    desktop.fill(QColor(0x33, 0x66, 0x99));
    QImage window = tagged(1, 300, 200);
    if (plain)
        window.fill(Qt::lightGray);
    if (placed.x() >= 0) {
        QPainter p(&desktop);
        p.drawImage(placed, window);
        if (pointerOverIt)
            p.fillRect(QRect(placed + QPoint(150, 100), QSize(12, 20)), Qt::white);
    }
    const auto at = findPicture(desktop, window);
    QCOMPARE(bool(at), found);
    if (found)
        QCOMPARE(*at, placed);
}

void TestOverlay::inputOnAnotherWindowCountsWhereItIs_data()
{
    QTest::addColumn<bool>("placeKnown");  // the main window was found on the screen
    QTest::addColumn<bool>("beforeFrame"); // the input comes before the selector's first frame
    QTest::addColumn<bool>("dragged");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QRect>("selected");
    const QRect button(230, 190, 100, 30); // the main window's button, where it is on the screen
    QTest::newRow("a click, the windows found") << true << false << false << int(Selector::Outcome::Accepted) << button;
    QTest::newRow("a click before the selector's first frame")
        << true << true << false << int(Selector::Outcome::Accepted) << button;
    QTest::newRow("a drag") << true << false << true << int(Selector::Outcome::Accepted)
                            << QRect(QPoint(260, 205), QPoint(360, 280));
    QTest::newRow("a click where the window's place is unknown")
        << false << false << false << int(Selector::Outcome::Pending) << QRect();
}

void TestOverlay::inputOnAnotherWindowCountsWhereItIs()
{
    QFETCH(bool, placeKnown);
    QFETCH(bool, beforeFrame);
    QFETCH(bool, dragged);
    QFETCH(int, outcome);
    QFETCH(QRect, selected);
    // The program's main window, which the selector covers; the mouse is
    // still with it. It thinks it is at (10, 10), the compositor put it at
    // (210, 160), as on Wayland.
    QWidget main(nullptr, Qt::FramelessWindowHint);
    main.setGeometry(10, 10, 300, 200);
    QPushButton inMain(u"截取屏幕"_s, &main);
    inMain.setGeometry(20, 30, 100, 30);
    QSignalSpy clicked(&inMain, &QPushButton::clicked);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    const QPointF offset = QPointF(210, 160) - QPointF(main.mapToGlobal(QPoint(0, 0)));

    Elements e;
    const int window = e.add(QRect(210, 160, 300, 200));
    e.add(QRect(230, 190, 100, 30), window);
    Scene scene{ e, {} };
    if (placeKnown)
        scene.ownWindows.push_back({ QRectF(210, 160, 300, 200), main.windowHandle(), offset });
    Selector selector(OneScreen.frozen());
    selector.setElementSource([scene](const Desktop &, const QList<WId> &) { return scene; });
    selector.show();
    if (!beforeFrame) {
        QVERIFY(QTest::qWaitForWindowExposed(selector.overlay(0)));
        selector.firstPainted();
        QCoreApplication::processEvents();
    }

    // Over the button, as Qt sees the main window; over the screen's
    // (260, 205), where it really is.
    QWindow *w = main.windowHandle();
    if (dragged) {
        QTest::mousePress(w, Qt::LeftButton, {}, QPoint(50, 45));
        QTest::mouseMove(w, QPoint(100, 80));
        QTest::mouseMove(w, QPoint(150, 120));
        QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(150, 120));
    } else {
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(50, 45));
    }
    QCOMPARE(int(selector.model().outcome()), outcome);
    QCOMPARE(selector.model().selectedRect(), selected);
    if (outcome == int(Selector::Outcome::Accepted))
        QCOMPARE(selector.model().selectedImage(), OneScreen.pictures()[0].copy(selected));
    else
        QCOMPARE(selector.model().mode(), Selector::Mode::Hovering);
    // Never a click on the window under the selector.
    QCOMPARE(clicked.count(), 0);
    selector.hide();
}

// Until the compositor hands the keyboard to the selector (under Wayland,
// once its window is mapped, and when it sees fit), keys still go to the
// window that had it. They are the selector's: the window under it never
// acts on them. A button or a shortcut there that opened a dialog would
// leave the selector waiting behind a dialog that it hides, and no key or
// click would reach either.
void TestOverlay::keysOnAnotherWindowAreTheSelectors()
{
    QWidget main(nullptr, Qt::FramelessWindowHint);
    main.setGeometry(10, 10, 300, 200);
    QPushButton open(u"打开"_s, &main);
    open.setGeometry(20, 30, 100, 30);
    QSignalSpy clicked(&open, &QPushButton::clicked);
    QAction shortcut(&main);
    shortcut.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    main.addAction(&shortcut);
    QSignalSpy triggered(&shortcut, &QAction::triggered);
    main.show();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    open.setFocus();
    QWindow *w = main.windowHandle();
    QTest::keyClick(w, Qt::Key_Space);
    QTest::keyClick(w, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(clicked.count(), 1); // without the selector, the button takes its key
    QCOMPARE(triggered.count(), 1); // and the shortcut works
    clicked.clear();
    triggered.clear();

    Selector selector(OneScreen.frozen());
    selector.show();
    QVERIFY(QTest::qWaitForWindowExposed(selector.overlay(0)));
    QCoreApplication::processEvents();
    // The selector asked for the keyboard; the compositor kept it here.
    selector.overlay(0)->releaseKeyboard();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QTest::keyClick(w, Qt::Key_Space);
    QTest::keyClick(w, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(triggered.count(), 0);
    QCOMPARE(selector.model().outcome(), Selector::Outcome::Pending);
    QTest::keyClick(w, Qt::Key_Escape);
    QCOMPARE(selector.model().outcome(), Selector::Outcome::Cancelled);
    selector.hide();

    // With the selector gone, the window has its keys again.
    QTest::keyClick(w, Qt::Key_Space);
    QCOMPARE(clicked.count(), 1);
}

// The outcome is known (a key, a click) while more input is still queued,
// meant for the selector as the person saw it; the selector stays up until
// its loop ends. None of that input reaches the window under it.
void TestOverlay::inputAfterTheOutcomeGoesNowhere()
{
    QWidget main(nullptr, Qt::FramelessWindowHint);
    main.setGeometry(10, 10, 300, 200);
    QPushButton open(u"打开"_s, &main);
    open.setGeometry(20, 30, 100, 30);
    QSignalSpy clicked(&open, &QPushButton::clicked);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QWindow *w = main.windowHandle();

    Selector selector(OneScreen.frozen());
    selector.show();
    QVERIFY(QTest::qWaitForWindowExposed(selector.overlay(0)));
    QTest::keyClick(selector.overlay(0), Qt::Key_Escape);
    QCOMPARE(selector.model().outcome(), Selector::Outcome::Cancelled);
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(50, 45)); // over the button
    open.setFocus();
    QTest::keyClick(w, Qt::Key_Space);
    QCOMPARE(clicked.count(), 0);
    selector.hide();

    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(50, 45));
    QCOMPARE(clicked.count(), 1);
}

// Under Wayland the pointer's place from Qt is relative to where Qt thinks
// the window under it is: nothing is highlighted, magnified or taken there
// until that window has been found on the screen, and then it is the place
// on the screen that counts. Where the window is not found, the pointer's
// first move over the selector places it.
void TestOverlay::pointerCountsOnceItsWindowIsFound_data()
{
    QTest::addColumn<bool>("placeKnown");
    QTest::newRow("window found") << true;
    QTest::newRow("window not found") << false;
}

void TestOverlay::pointerCountsOnceItsWindowIsFound()
{
    QFETCH(bool, placeKnown);
    QWidget main(nullptr, Qt::FramelessWindowHint); // thinks it is at (10, 10), is at (210, 160)
    main.setGeometry(10, 10, 300, 200);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    const QPointF offset = QPointF(210, 160) - QPointF(main.mapToGlobal(QPoint(0, 0)));
    Elements e;
    const int window = e.add(QRect(210, 160, 300, 200));
    e.add(QRect(230, 190, 100, 30), window); // a button
    Scene scene{ e, {} };
    if (placeKnown)
        scene.ownWindows.push_back({ QRectF(210, 160, 300, 200), main.windowHandle(), offset });
    QGuiApplication::clipboard()->setText(u"before"_s);

    Selector selector(OneScreen.frozen());
    selector.setElementSource([scene](const Desktop &, const QList<WId> &) { return scene; });
    selector.model().placeCursorLater(main.mapToGlobal(QPointF(50, 45)), main.windowHandle()); // over the button
    selector.show();
    QVERIFY(QTest::qWaitForWindowExposed(selector.overlay(0)));
    QVERIFY(selector.model().lit().isEmpty());
    QVERIFY(!selector.model().magnifierShown());
    QVERIFY(selector.overlay(0)->layout().magnifier.isEmpty());
    QVERIFY(selector.overlay(0)->layout().label.isEmpty());
    QTest::keyClick(selector.overlay(0), Qt::Key_C);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"before"_s); // no colour from a place not known
    QTest::keyClick(selector.overlay(0), Qt::Key_Return);
    QCOMPARE(selector.model().outcome(), Selector::Outcome::Pending); // nothing shown to take

    selector.firstPainted();
    QTRY_VERIFY(!selector.model().lit().isEmpty() || !placeKnown);
    if (placeKnown) {
        QCOMPARE(selector.model().cursor(), QPointF(260, 205));
        QCOMPARE(selector.model().lit(), QRect(230, 190, 100, 30));
        QVERIFY(selector.model().magnifierShown());
        QVERIFY(!selector.overlay(0)->layout().magnifier.isEmpty());
    } else {
        QCoreApplication::processEvents();
        QVERIFY(selector.model().lit().isEmpty());
        QVERIFY(!selector.model().magnifierShown());
        moveTo(selector.overlay(0), QPointF(300, 300), Qt::NoButton);
        QCOMPARE(selector.model().lit(), QRect(210, 160, 300, 200));
        QVERIFY(selector.model().magnifierShown());
    }
    QTest::keyClick(selector.overlay(0), Qt::Key_Return);
    QCOMPARE(selector.model().outcome(), Selector::Outcome::Accepted);
    QCOMPARE(selector.model().selectedRect(), placeKnown ? QRect(230, 190, 100, 30) : QRect(210, 160, 300, 200));
    selector.hide();
}

void TestOverlay::magnifierShowsThePixelUnderThePointer()
{
    Harness h(OneScreen);
    const QImage picture = h.layout.pictures()[0];
    moveTo(h.overlay(), QPointF(123, 45), Qt::NoButton);
    QCOMPARE(h.selector.model().colourUnderCursor(), colourName(picture.pixel(123, 45)));
    QCOMPARE(h.selector.model().colourUnderCursor(), u"#147B2D"_s);
    QCOMPARE(h.selector.model().cursorPosition(), QPoint(123, 45));

    // Drawn: the loupe's middle cell is that pixel, eight times larger.
    const SelectionOverlay::Layout l = h.overlay()->layout();
    QVERIFY(!l.magnifier.isEmpty());
    QVERIFY(!l.magnifier.contains(QPoint(123, 45)));
    const QImage shown = h.overlay()->grab().toImage();
    const QPoint middle = l.magnifier.topLeft() + QPoint(7 * magnifier::Zoom + 4, 7 * magnifier::Zoom + 4);
    QCOMPARE(shown.pixel(middle), picture.pixel(123, 45));
    const QPoint left = middle - QPoint(magnifier::Zoom * 2, 0);
    QCOMPARE(shown.pixel(left.x(), left.y() - 3 * magnifier::Zoom), picture.pixel(121, 42));

    // C copies the colour and the selection goes on; Z hides and shows.
    QGuiApplication::clipboard()->clear();
    h.key(Qt::Key_C);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"#147B2D"_s);
    QCOMPARE(h.selector.model().outcome(), Selector::Outcome::Pending);
    h.key(Qt::Key_Z);
    QVERIFY(h.overlay()->layout().magnifier.isEmpty());
    h.key(Qt::Key_Z);
    QVERIFY(!h.overlay()->layout().magnifier.isEmpty());
}

// The one-pass copy of the frozen screen against QPainter drawing the picture
// and a fill of the selector's shade over it: every value of every channel,
// rows of every length around the four-pixel steps, a shifted picture, a
// bright part, an area shared between two threads. What lies outside the
// regions is left alone.
void TestOverlay::shadeAsQPainterDarkens_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QRegion>("dark");
    QTest::addColumn<QRegion>("bright");
    QTest::addColumn<QPoint>("offset");
    const auto pm = QImage::Format_ARGB32_Premultiplied;
    QTest::newRow("every value") << QSize(256, 4) << pm << QRegion(0, 0, 256, 4) << QRegion() << QPoint();
    QTest::newRow("opaque buffer") << QSize(256, 4) << QImage::Format_RGB32 << QRegion(0, 0, 256, 4) << QRegion()
                                   << QPoint();
    for (int n : { 1, 2, 3, 4, 5, 7, 9 })
        QTest::addRow("a row of %d", n) << QSize(16, 3) << pm << QRegion(1, 1, n, 1) << QRegion(2, 2, n, 1)
                                        << QPoint();
    QTest::newRow("shifted") << QSize(64, 40) << pm << QRegion(3, 5, 50, 30) << QRegion() << QPoint(17, 9);
    QTest::newRow("a bright part") << QSize(64, 40) << pm << (QRegion(0, 0, 64, 40) - QRegion(10, 12, 21, 9))
                                   << QRegion(10, 12, 21, 9) << QPoint(2, 1);
    QTest::newRow("two threads") << QSize(1200, 700) << pm << (QRegion(0, 0, 1200, 700) - QRegion(301, 99, 400, 301))
                                 << QRegion(301, 99, 400, 301) << QPoint(5, 0);
}

void TestOverlay::shadeAsQPainterDarkens()
{
    QFETCH(QSize, size);
    QFETCH(QImage::Format, format);
    QFETCH(QRegion, dark);
    QFETCH(QRegion, bright);
    QFETCH(QPoint, offset);
    // Every value in every channel. A compositor's XRGB may leave the top
    // byte at 0 (every other row here): it is read as opaque all the same.
    QImage picture(size + QSize(offset.x() + 3, offset.y() + 3), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            line[x] = qRgb(x % 256, (255 - x + 3 * y) & 255, (x * 7 + y * 13) & 255);
    }
    QImage xrgb = picture;
    for (int y = 1; y < xrgb.height(); y += 2) {
        auto *line = reinterpret_cast<quint32 *>(xrgb.scanLine(y));
        for (int x = 0; x < xrgb.width(); ++x)
            line[x] &= 0x00ffffffu;
    }
    QImage expected(size, format);
    expected.fill(QColor(1, 2, 3));
    QImage actual = expected;
    {
        QPainter p(&expected);
        p.setClipRegion(dark | bright);
        p.drawImage(QPoint(), picture, QRect(offset, size));
        for (const QRect &r : dark)
            p.fillRect(r, QColor(0, 0, 0, 100));
    }
    QVERIFY(shade::copy(actual, dark, bright, xrgb, offset, 100));
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            QVERIFY2(actual.pixel(x, y) == expected.pixel(x, y),
                     qPrintable(u"(%1, %2): %3, not %4"_s.arg(x).arg(y).arg(actual.pixel(x, y), 8, 16)
                                    .arg(expected.pixel(x, y), 8, 16)));
}

// The overlay paints the frozen screen in one pass where it can (a buffer
// whose pixels are the picture's: here a picture it is rendered into, at a
// shift), and pixel for pixel as QPainter draws it where it cannot (here a
// recording, played back).
void TestOverlay::frozenScreenPaintsAsQPainterDoes()
{
    Harness h(OneScreen);
    press(h.overlay(), QPointF(100, 80));
    moveTo(h.overlay(), QPointF(300, 200));
    h.key(Qt::Key_Space); // the selection stays, with its handles
    release(h.overlay(), QPointF(300, 200));
    QCOMPARE(h.selector.model().mode(), Selector::Mode::Adjusting);
    const QSize size = h.overlay()->size();
    QImage oneGo(size + QSize(20, 10), QImage::Format_ARGB32_Premultiplied);
    oneGo.fill(Qt::transparent);
    h.overlay()->render(&oneGo, QPoint(20, 10));
    QPicture recorded;
    h.overlay()->render(&recorded);
    QImage byPainter(size, QImage::Format_ARGB32_Premultiplied);
    byPainter.fill(Qt::transparent);
    {
        QPainter p(&byPainter);
        p.drawPicture(0, 0, recorded);
    }
    QCOMPARE(oneGo.copy(QRect(QPoint(20, 10), size)), byPainter);
    // And against the picture itself: as it is inside, darker outside.
    const QImage picture = h.layout.pictures()[0];
    QCOMPARE(byPainter.pixel(200, 150), picture.pixel(200, 150));
    QVERIFY(qRed(byPainter.pixel(50, 300)) < qRed(picture.pixel(50, 300)));
}

// Painted on a canvas of the window system's (X11's shared memory), or over
// the frozen screen the window system shows itself, the selector shows what
// Qt's own buffer shows, after its first frame and after every change that
// repaints only a part; and a change never darkens afresh what showed dark.
void TestOverlay::aCanvasShowsWhatQtPaints_data()
{
    QTest::addColumn<bool>("shownFrozen");
    QTest::newRow("painted on the canvas") << false;
    QTest::newRow("over the frozen screen") << true;
}

void TestOverlay::aCanvasShowsWhatQtPaints()
{
    QFETCH(bool, shownFrozen);
    Elements e;
    e.add(QRect(150, 8, 151, 400)); // the drag below snaps to its right edge, at x 301
    Harness qt(OneScreen, e);
    Paper *paper = nullptr;
    Harness own(OneScreen, e, &paper, shownFrozen);
    QVERIFY(paper);
    // After a loss the whole window is put again, darkened afresh.
    auto same = [&](const char *when, bool lost = false) {
        QCoreApplication::processEvents();
        const QImage expected = qt.overlay()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY2(paper->shown == expected, when);
        QVERIFY2(lost || paper->flashes == 0, when);
        paper->flashes = 0;
    };
    same("first frame");
    for (Harness *h : { &qt, &own })
        moveTo(h->overlay(), QPointF(123, 45), Qt::NoButton);
    same("magnifier moved");
    for (Harness *h : { &qt, &own }) {
        press(h->overlay(), QPointF(100, 80));
        moveTo(h->overlay(), QPointF(300, 200));
    }
    QVERIFY(!own.overlay()->layout().guides.empty());
    same("dragging");
    // Ctrl at the release keeps the selection (keys would reach both selectors).
    for (Harness *h : { &qt, &own }) {
        release(h->overlay(), QPointF(300, 200), Qt::LeftButton, Qt::ControlModifier);
        moveTo(h->overlay(), QPointF(320, 60), Qt::NoButton);
    }
    QCOMPARE(own.selector.model().mode(), Selector::Mode::Adjusting);
    same("adjusting");
    // The whole window again, as Qt asks for it as a window shows: the
    // canvas has that frame; then with a change that comes before it, in
    // one paint: the change is painted. Then the same after the window
    // system lost what was put.
    for (Harness *h : { &qt, &own })
        h->overlay()->update();
    same("whole");
    for (Harness *h : { &qt, &own }) {
        moveTo(h->overlay(), QPointF(500, 300), Qt::NoButton);
        h->overlay()->update();
    }
    same("a change and the whole at once");
    paper->shown.fill(Qt::green);
    paper->lost = true;
    for (Harness *h : { &qt, &own }) {
        moveTo(h->overlay(), QPointF(520, 320), Qt::NoButton);
        h->overlay()->update();
    }
    same("lost, with a change", true);
}

void TestOverlay::aSnapIsShownAsItWillBeTaken()
{
    Elements e;
    e.add(QRect(240, 8, 200, 192)); // the picture display, its right edge at x 440
    Harness h(OneScreen, e);
    press(h.overlay(), QPointF(300, 40));
    moveTo(h.overlay(), QPointF(370, 70));
    QVERIFY(h.overlay()->layout().guides.empty());
    QCOMPARE(h.selector.model().cursorPosition(), QPoint(370, 70));

    moveTo(h.overlay(), QPointF(434, 100));
    const QRect shown = h.selector.model().selection().rect();
    QCOMPARE(shown, QRect(QPoint(300, 40), QPoint(439, 100)));
    // The guide runs along the element's edge; the read-outs give the pixel
    // the selection ends at, not the one under the pointer.
    const auto guides = h.overlay()->layout().guides;
    QCOMPARE(guides.size(), std::size_t(1));
    QCOMPARE(guides.front(), QLineF(440, 8, 440, 200));
    QCOMPARE(h.selector.model().cursorPosition(), QPoint(439, 100));
    QCOMPARE(h.selector.model().pixelUnderCursor()->second, QPoint(439, 100));
    QVERIFY(h.overlay()->layout().label.isValid());

    release(h.overlay(), QPointF(434, 100));
    QCOMPARE(h.selector.model().outcome(), Selector::Outcome::Accepted);
    QCOMPARE(h.selector.model().selectedRect(), shown);
    QVERIFY(h.overlay()->layout().guides.empty());

    // With Alt the guide goes and the pointer's own pixel counts again.
    Harness free(OneScreen, e);
    press(free.overlay(), QPointF(300, 40));
    moveTo(free.overlay(), QPointF(370, 70));
    moveTo(free.overlay(), QPointF(434, 100), Qt::LeftButton, Qt::AltModifier);
    QVERIFY(free.overlay()->layout().guides.empty());
    QCOMPARE(free.selector.model().cursorPosition(), QPoint(434, 100));
    release(free.overlay(), QPointF(434, 100), Qt::LeftButton, Qt::AltModifier);
    QCOMPARE(free.selector.model().selectedRect(), QRect(QPoint(300, 40), QPoint(434, 100)));
}

void TestOverlay::hintFollowsTheMode()
{
    Harness h(OneScreen);
    QVERIFY(SelectionOverlay::hintFor(h.selector.model().mode()).contains(u"单击"_s));
    press(h.overlay(), QPointF(300, 300));
    moveTo(h.overlay(), QPointF(350, 350));
    QVERIFY(SelectionOverlay::hintFor(h.selector.model().mode()).contains(u"松开"_s));
    release(h.overlay(), QPointF(350, 350), Qt::LeftButton, Qt::ControlModifier);
    QVERIFY(SelectionOverlay::hintFor(h.selector.model().mode()).contains(u"方向键"_s));
    for (auto mode : { Selector::Mode::Hovering, Selector::Mode::Dragging, Selector::Mode::Adjusting })
        QVERIFY(QFontMetrics(h.overlay()->font()).horizontalAdvance(SelectionOverlay::hintFor(mode)) < 1000);
    // Near the pointer the hint fades; far from it, it does not.
    moveTo(h.overlay(), QPointF(320, 20), Qt::NoButton);
    QVERIFY(h.overlay()->layout().hintFaded);
    moveTo(h.overlay(), QPointF(320, 400), Qt::NoButton);
    QVERIFY(!h.overlay()->layout().hintFaded);

    // On a narrow screen the hint is shortened to fit its box.
    Harness small(Layout{ { QRect(0, 0, 300, 200) }, { 1.0 } });
    const QFontMetricsF fm(small.overlay()->font());
    const SelectionOverlay::Layout narrow = small.overlay()->layout();
    QVERIFY(narrow.hintText != SelectionOverlay::hintFor(small.selector.model().mode()));
    QVERIFY(fm.horizontalAdvance(narrow.hintText) <= narrow.hint.width() - 24);

    // Where there is room it is shown whole, in every mode: a box measured in
    // whole pixels once cut off its last word ("Esc：取消").
    Harness wide(Layout{ { QRect(0, 0, 1920, 1080) }, { 1.0 } });
    QCOMPARE(wide.overlay()->layout().hintText, SelectionOverlay::hintFor(wide.selector.model().mode()));
    press(wide.overlay(), QPointF(300, 300));
    moveTo(wide.overlay(), QPointF(350, 350));
    QCOMPARE(wide.overlay()->layout().hintText, SelectionOverlay::hintFor(wide.selector.model().mode()));
    release(wide.overlay(), QPointF(350, 350), Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(wide.selector.model().mode(), Selector::Mode::Adjusting);
    QCOMPARE(wide.overlay()->layout().hintText, SelectionOverlay::hintFor(wide.selector.model().mode()));
}

QTEST_MAIN(TestOverlay)
#include "tst_overlay.moc"
