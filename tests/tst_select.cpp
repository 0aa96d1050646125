// The selector's model without windows: the desktop's pixel grid across
// screens (composing a selection), the selection's geometry and snapping,
// the element walk, and the input state machine driven as the overlays
// drive it, step by step.

#include "Desktop.h"
#include "Elements.h"
#include "Selection.h"
#include "SelectorModel.h"

#include "capture_fixtures.h"

#include <QGuiApplication>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace lumaro::capture;
using namespace lumaro::capture::testing;

namespace {

// Pixel probes: output point -> (screen, device pixel) it must come from.
struct Probe
{
    QPoint out;
    int screen;
    QPoint device;
};

// The model's input as an overlay passes it on, in logical global coordinates.
void press(SelectorModel &m, QPointF at, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers k = {}) { m.mousePress(at, b, k); }
void moveTo(SelectorModel &m, QPointF at, Qt::MouseButtons held = Qt::LeftButton, Qt::KeyboardModifiers k = {}) { m.mouseMove(at, held, k); }
void release(SelectorModel &m, QPointF at, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers k = {}) { m.mouseRelease(at, b, k); }
void drag(SelectorModel &m, QPointF from, QPointF to, Qt::KeyboardModifiers atRelease = {})
{
    press(m, from);
    moveTo(m, (from + to) / 2);
    moveTo(m, to);
    release(m, to, Qt::LeftButton, atRelease);
}

// The selector's model over synthetic screens, with its elements in; no windows.
struct Harness
{
    explicit Harness(const Layout &layout, Elements elements = {})
        : layout(layout)
        , model(layout.frozen())
    {
        model.setScene(Scene{ std::move(elements), {} });
    }
    void key(int k, Qt::KeyboardModifiers m = {}) { model.key(k, m); }

    Layout layout;
    SelectorModel model;
};

} // namespace

Q_DECLARE_METATYPE(Probe)

class TestSelect : public QObject
{
    Q_OBJECT
private slots:
    void composeAcrossScreens_data();
    void composeAcrossScreens();
    void cellsAtMixedScales();
    void cellsInTheWindowSystemsPixels();
    void handles_data();
    void handles();
    void dragAndSnap_data();
    void dragAndSnap();
    void adjustWithHandles_data();
    void adjustWithHandles();
    void dragsOverLumarosWindow_data();
    void dragsOverLumarosWindow();
    void coveredEdgesDoNotSnap();
    void keysStayInsideTheBounds_data();
    void keysStayInsideTheBounds();
    void elementChain_data();
    void elementChain();
    void elementWalk();
    void clickTakesTheElementUnderThePointer();
    void outcomes_data();
    void outcomes();
    void dragAcrossTheSeamComposesBothScreens();
    void scaledScreenGivesItsOwnPixels_data();
    void scaledScreenGivesItsOwnPixels();
    void ctrlReleaseAdjustsWithTheKeys();
    void spaceDuringTheDragKeepsTheSelection();
    void lastRegionComesBackWithR();
};

void TestSelect::composeAcrossScreens_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<QRect>("selection"); // desktop pixels
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<Probe>>("probes");

    const Layout sideBySide{ { QRect(0, 0, 100, 50), QRect(100, 0, 80, 60) }, { 1, 1 } };
    QTest::newRow("side by side, across the seam")
        << sideBySide << QRect(QPoint(90, 10), QPoint(109, 29)) << QSize(20, 20)
        << QList<Probe>{ { { 0, 0 }, 0, { 90, 10 } }, { { 9, 19 }, 0, { 99, 29 } }, { { 10, 0 }, 1, { 0, 10 } },
                         { { 19, 19 }, 1, { 9, 29 } } };
    QTest::newRow("stacked, across the seam")
        << Layout{ { QRect(0, 0, 100, 50), QRect(0, 50, 100, 50) }, { 1, 1 } } << QRect(QPoint(10, 45), QPoint(19, 54))
        << QSize(10, 10) << QList<Probe>{ { { 0, 4 }, 0, { 10, 49 } }, { { 0, 5 }, 1, { 10, 0 } }, { { 9, 9 }, 1, { 19, 4 } } };
    QTest::newRow("negative origin")
        << Layout{ { QRect(-100, 0, 100, 50), QRect(0, 0, 100, 50) }, { 1, 1 } } << QRect(QPoint(-5, 0), QPoint(4, 9))
        << QSize(10, 10) << QList<Probe>{ { { 0, 0 }, 0, { 95, 0 } }, { { 4, 9 }, 0, { 99, 9 } }, { { 5, 0 }, 1, { 0, 0 } } };
    // Desktop pixels at scale 2: the scale-1 screen's pixels are 2 x 2 cells.
    QTest::newRow("scale 1 beside scale 2, composed at 2")
        << Layout{ { QRect(0, 0, 100, 50), QRect(100, 0, 100, 50) }, { 1, 2 } } << QRect(QPoint(190, 20), QPoint(219, 39))
        << QSize(30, 20)
        << QList<Probe>{ { { 0, 0 }, 0, { 95, 10 } }, { { 1, 1 }, 0, { 95, 10 } }, { { 2, 0 }, 0, { 96, 10 } },
                         { { 10, 0 }, 1, { 0, 20 } }, { { 11, 0 }, 1, { 1, 20 } }, { { 29, 19 }, 1, { 19, 39 } } };
    // Where the window system has its own pixels (X11, Windows), the screens
    // lie there, each at its own scale, and the capture is their pixels.
    QTest::newRow("scale 1 beside scale 2, as the X server lays them")
        << Layout{ { QRect(0, 0, 100, 50), QRect(100, 0, 50, 25) }, { 1, 2 }, { QRect(0, 0, 100, 50), QRect(100, 0, 100, 50) } }
        << QRect(QPoint(90, 10), QPoint(109, 29)) << QSize(20, 20)
        << QList<Probe>{ { { 0, 0 }, 0, { 90, 10 } }, { { 9, 19 }, 0, { 99, 29 } }, { { 10, 0 }, 1, { 0, 10 } },
                         { { 19, 19 }, 1, { 9, 29 } } };
    QTest::newRow("only the scale-1 screen of a mixed desktop, composed at 1")
        << Layout{ { QRect(0, 0, 100, 50), QRect(100, 0, 100, 50) }, { 1, 2 } } << QRect(QPoint(20, 20), QPoint(39, 39))
        << QSize(10, 10) << QList<Probe>{ { { 0, 0 }, 0, { 10, 10 } }, { { 9, 9 }, 0, { 19, 19 } } };
    QTest::newRow("three screens, all of them")
        << Layout{ { QRect(0, 0, 50, 40), QRect(50, 0, 50, 40), QRect(100, 0, 50, 40) }, { 1, 1, 1 } }
        << QRect(QPoint(45, 5), QPoint(104, 14)) << QSize(60, 10)
        << QList<Probe>{ { { 0, 0 }, 0, { 45, 5 } }, { { 5, 0 }, 1, { 0, 5 } }, { { 54, 9 }, 1, { 49, 14 } },
                         { { 55, 0 }, 2, { 0, 5 } } };
    QTest::newRow("inclusive corners: a whole screen")
        << OneScreen << QRect(QPoint(0, 0), QPoint(639, 479)) << QSize(640, 480)
        << QList<Probe>{ { { 0, 0 }, 0, { 0, 0 } }, { { 639, 479 }, 0, { 639, 479 } } };
    QTest::newRow("one pixel") << OneScreen << QRect(5, 7, 1, 1) << QSize(1, 1)
                               << QList<Probe>{ { { 0, 0 }, 0, { 5, 7 } } };
    // Where no screen is (below the lower screen), black.
    QTest::newRow("screens of unequal height")
        << Layout{ { QRect(0, 0, 100, 50), QRect(100, 0, 100, 100) }, { 1, 1 } } << QRect(QPoint(90, 40), QPoint(109, 69))
        << QSize(20, 30) << QList<Probe>{ { { 0, 0 }, 0, { 90, 40 } }, { { 0, 20 }, -1, {} }, { { 10, 29 }, 1, { 0, 69 } } };
}

void TestSelect::composeAcrossScreens()
{
    QFETCH(Layout, layout);
    QFETCH(QRect, selection);
    QFETCH(QSize, size);
    QFETCH(QList<Probe>, probes);
    const auto pictures = layout.pictures();
    const QImage out = layout.desktop().compose(selection, pictures);
    QCOMPARE(out.size(), size);
    for (const Probe &p : probes) {
        const QRgb expected = p.screen < 0 ? qRgb(0, 0, 0) : pictures[std::size_t(p.screen)].pixel(p.device);
        QVERIFY2(out.pixel(p.out) == expected,
                 qPrintable(u"at %1,%2: %3, not %4"_s.arg(p.out.x()).arg(p.out.y())
                                .arg(colourName(out.pixel(p.out)), colourName(expected))));
    }
}

void TestSelect::cellsAtMixedScales()
{
    const Desktop d = Layout{ { QRect(0, 0, 100, 50), QRect(100, 0, 100, 50) }, { 1, 2 } }.desktop();
    QCOMPARE(d.scale(), 2.0);
    QCOMPARE(d.bounds(), QRect(0, 0, 400, 100));
    // On the finest screen a cell is one desktop pixel, on the other two by two.
    QCOMPARE(d.cellAt(QPointF(110.3, 5.7)), QRect(220, 11, 1, 1));
    QCOMPARE(d.cellAt(QPointF(10.3, 5.7)), QRect(20, 10, 2, 2));
    // Off every screen: the nearest screen's edge.
    QCOMPARE(d.cellAt(QPointF(-5, -5)), QRect(0, 0, 2, 2));
    QCOMPARE(d.cellAt(QPointF(500, 60)), QRect(399, 99, 1, 1));
    QCOMPARE(d.fromLogical(QRectF(120, 10, 30, 20)), QRect(240, 20, 60, 40));
    QCOMPARE(d.toLogical(QRect(240, 20, 60, 40)), QRectF(120, 10, 30, 20));
}

void TestSelect::cellsInTheWindowSystemsPixels()
{
    // 150 % beside 100 %, as the X server lays them out: Qt keeps each
    // screen's corner and divides its size.
    const Desktop d = Layout{ { QRect(0, 0, 1280, 720), QRect(1920, 0, 1024, 768) }, { 1.5, 1 },
                              { QRect(0, 0, 1920, 1080), QRect(1920, 0, 1024, 768) } }.desktop();
    QVERIFY(d.native());
    QCOMPARE(d.bounds(), QRect(0, 0, 2944, 1080));
    QCOMPARE(d.cellAt(QPointF(817 / 1.5, 647 / 1.5)), QRect(817, 647, 1, 1));
    // At 175 % a pixel divided by the scale and multiplied back may fall a
    // hair short of itself.
    const Desktop at175 = Layout{ { QRect(0, 0, 640, 400) }, { 1.75 }, { QRect(0, 0, 1120, 700) } }.desktop();
    QCOMPARE(at175.cellAt(QPointF(61 / 1.75, 115 / 1.75)), QRect(61, 115, 1, 1));
    QCOMPARE(d.cellAt(QPointF(1920 + 5.5, 7.25)), QRect(1925, 7, 1, 1));
    // Every pixel can be aimed at: the centre of each is its own cell.
    for (int x = 0; x < 1920; ++x)
        QCOMPARE(d.cellAt(d.centreOf(QPoint(x, 1079))), QRect(x, 1079, 1, 1));
    for (int x = 1920; x < 2944; ++x)
        QCOMPARE(d.cellAt(d.centreOf(QPoint(x, 0))), QRect(x, 0, 1, 1));
    QCOMPARE(d.fromLogical(QRectF(240, 8, 200, 192)), QRect(360, 12, 300, 288));
    QCOMPARE(d.toLogical(QRect(360, 12, 300, 288)), QRectF(240, 8, 200, 192));
    QCOMPARE(d.outputPerDesktop(QRect(1900, 0, 40, 10)), 1.0);
}

void TestSelect::handles_data()
{
    QTest::addColumn<qreal>("scale");
    QTest::addColumn<QPointF>("logical"); // offset from the selection's top-left edge, logical pixels
    QTest::addColumn<int>("handle");
    // The selection: 100 x 50 logical pixels; its edges are the lines at 0 and 100, 0 and 50.
    for (qreal scale : { 1.0, 2.0 }) {
        const QString s = u" at scale %1"_s.arg(scale);
        auto row = [&](const char *name, QPointF at, Handle h) {
            QTest::newRow(qPrintable(QString::fromLatin1(name) + s)) << scale << at << int(h);
        };
        row("top-left corner", { 0, 0 }, Handle::TopLeft);
        row("near the top-left corner", { -5, 5 }, Handle::TopLeft);
        row("top-right corner", { 100, 0 }, Handle::TopRight);
        row("bottom-left corner", { 0, 50 }, Handle::BottomLeft);
        row("bottom-right corner", { 104, 53 }, Handle::BottomRight);
        row("left edge", { 2, 25 }, Handle::Left);
        row("right edge", { 99, 25 }, Handle::Right);
        row("top edge", { 50, -3 }, Handle::Top);
        row("bottom edge", { 50, 51 }, Handle::Bottom);
        row("inside", { 50, 25 }, Handle::Inside);
        row("just beyond reach", { 50, -7 }, Handle::None);
        row("outside", { 200, 25 }, Handle::None);
    }
}

void TestSelect::handles()
{
    QFETCH(qreal, scale);
    QFETCH(QPointF, logical);
    QFETCH(int, handle);
    // Reach and the selection are the same logical size at either scale.
    Selection s(QRect(0, 0, int(1000 * scale), int(1000 * scale)));
    const QPointF origin(100 * scale, 100 * scale);
    s.set(QRect(origin.toPoint(), QSize(int(100 * scale), int(50 * scale))));
    QCOMPARE(int(s.handleAt(origin + logical * scale, SelectorModel::HandleReach * scale)), handle);
}

void TestSelect::dragAndSnap_data()
{
    QTest::addColumn<QRect>("anchor");
    QTest::addColumn<QRect>("to");
    QTest::addColumn<bool>("snapping");
    QTest::addColumn<QRect>("selected");
    // An element from 100 to 299 across, 100 to 199 down.
    const QRect one(0, 0, 1, 1);
    QTest::newRow("corners inclusive") << one.translated(10, 20) << one.translated(209, 211) << false
                                       << QRect(10, 20, 200, 192);
    QTest::newRow("backwards") << one.translated(209, 211) << one.translated(10, 20) << false << QRect(10, 20, 200, 192);
    QTest::newRow("one pixel") << one.translated(5, 7) << one.translated(5, 7) << false << QRect(5, 7, 1, 1);
    QTest::newRow("past the edges") << one.translated(10, 10) << one.translated(5000, -40) << false
                                    << QRect(QPoint(10, 0), QPoint(1279, 10));
    QTest::newRow("a pixel short of the element snaps to it")
        << one.translated(101, 101) << one.translated(297, 196) << true << QRect(QPoint(101, 101), QPoint(299, 199));
    QTest::newRow("eight pixels beyond still snaps") << one.translated(50, 50) << one.translated(307, 207) << true
                                                     << QRect(QPoint(50, 50), QPoint(299, 199));
    QTest::newRow("nine beyond does not") << one.translated(50, 50) << one.translated(308, 208) << true
                                          << QRect(QPoint(50, 50), QPoint(308, 208));
    QTest::newRow("the left edge, dragged leftwards") << one.translated(250, 150) << one.translated(104, 96) << true
                                                      << QRect(QPoint(100, 100), QPoint(250, 150));
    QTest::newRow("no snapping with Alt") << one.translated(101, 101) << one.translated(297, 196) << false
                                          << QRect(QPoint(101, 101), QPoint(297, 196));
    QTest::newRow("the anchored edges stay") << one.translated(103, 103) << one.translated(297, 197) << true
                                             << QRect(QPoint(103, 103), QPoint(299, 199));
}

void TestSelect::dragAndSnap()
{
    QFETCH(QRect, anchor);
    QFETCH(QRect, to);
    QFETCH(bool, snapping);
    QFETCH(QRect, selected);
    Selection s(QRect(0, 0, 1280, 1024));
    const SnapLines lines = snapLinesOf({ QRect(100, 100, 200, 100) });
    s.beginDrag(anchor);
    s.dragTo(to, snapping ? &lines : nullptr, SelectorModel::SnapReach);
    QCOMPARE(s.rect(), selected);
}

void TestSelect::adjustWithHandles_data()
{
    QTest::addColumn<int>("handle");
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<QRect>("result");
    const QRect start(100, 100, 100, 50);
    QTest::newRow("move inside") << int(Handle::Inside) << QPoint(10, -20) << start.translated(10, -20);
    QTest::newRow("move into the corner stops there") << int(Handle::Inside) << QPoint(-500, -500) << QRect(0, 0, 100, 50);
    QTest::newRow("right edge") << int(Handle::Right) << QPoint(30, 99) << QRect(100, 100, 130, 50);
    QTest::newRow("top edge") << int(Handle::Top) << QPoint(99, -10) << QRect(100, 90, 100, 60);
    QTest::newRow("top-left corner") << int(Handle::TopLeft) << QPoint(-5, -5) << QRect(95, 95, 105, 55);
    QTest::newRow("bottom-right corner") << int(Handle::BottomRight) << QPoint(1, 1) << QRect(100, 100, 101, 51);
    QTest::newRow("the left edge across the right one turns it over")
        << int(Handle::Left) << QPoint(150, 0) << QRect(QPoint(199, 100), QPoint(250, 149));
}

void TestSelect::adjustWithHandles()
{
    QFETCH(int, handle);
    QFETCH(QPoint, by);
    QFETCH(QRect, result);
    Selection s(QRect(0, 0, 1280, 1024));
    s.set(QRect(100, 100, 100, 50));
    s.beginAdjust(Handle(handle), QPoint(400, 400));
    s.adjustTo(QPoint(400, 400) + by);
    s.endAdjust();
    QCOMPARE(s.rect(), result);
}

void TestSelect::dragsOverLumarosWindow_data()
{
    QTest::addColumn<QPoint>("client"); // where the client area is on the desktop
    QTest::addColumn<bool>("twoScreens");
    QTest::addColumn<QPoint>("from");   // client pixels, both included
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("selected"); // client pixels
    const QPoint at(351, 275);
    auto between = [](QPoint a, QPoint b) { return QRect(a, b); };
    // Each of these once jumped to the line of an edge far away along it.
    QTest::newRow("bottom edge 3 px above the line of 保存图片's top, 90 px right of it")
        << at << false << QPoint(300, 40) << QPoint(400, 100) << between({ 300, 40 }, { 400, 100 });
    QTest::newRow("bottom edge near the line of the scaling button's bottom, far right of it")
        << at << false << QPoint(250, 60) << QPoint(470, 185) << between({ 250, 60 }, { 470, 185 });
    QTest::newRow("2 px above the line of 初始化's top, beyond its end")
        << at << false << QPoint(260, 100) << QPoint(300, 141) << between({ 260, 100 }, { 300, 141 });
    QTest::newRow("across the seam of two screens")
        << QPoint(1000, 200) << true << QPoint(100, 40) << QPoint(480, 320) << between({ 100, 40 }, { 480, 320 });
    QTest::newRow("9 px inside the picture display's corner")
        << at << false << QPoint(250, 20) << QPoint(430, 190) << between({ 250, 20 }, { 430, 190 });
    // Near an edge, beside it: the edge takes the selection.
    QTest::newRow("5 px short of the picture display's right edge, beside it")
        << at << false << QPoint(300, 40) << QPoint(434, 100) << between({ 300, 40 }, { 439, 100 });
    QTest::newRow("5 px below the picture display's bottom, beside it")
        << at << false << QPoint(300, 40) << QPoint(350, 204) << between({ 300, 40 }, { 350, 199 });
    QTest::newRow("8 px past the picture display's corner: both edges in reach")
        << at << false << QPoint(300, 40) << QPoint(447, 204) << between({ 300, 40 }, { 439, 199 });
    QTest::newRow("9 px past the corner, beyond the end of either edge")
        << at << false << QPoint(300, 40) << QPoint(448, 205) << between({ 300, 40 }, { 448, 205 });
}

void TestSelect::dragsOverLumarosWindow()
{
    QFETCH(QPoint, client);
    QFETCH(bool, twoScreens);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QRect, selected);
    const std::vector<QRect> screens = twoScreens
                                           ? std::vector<QRect>{ QRect(0, 0, 1280, 1024), QRect(1280, 0, 1280, 1024) }
                                           : std::vector<QRect>{ QRect(0, 0, 1280, 1024) };
    const SnapLines edges = lumaroWindow(client, screens).edges();
    Selection s(screens.front().united(screens.back()));
    s.beginDrag(QRect(client + from, QSize(1, 1)));
    s.dragTo(QRect(client + (from + to) / 2, QSize(1, 1)), &edges, SelectorModel::SnapReach);
    s.dragTo(QRect(client + to, QSize(1, 1)), &edges, SelectorModel::SnapReach);
    QCOMPARE(s.rect(), selected.translated(client));

    // Moved with a handle, an edge snaps by the same rule.
    Selection adjusted(s.bounds());
    adjusted.set(QRect(client + from, QSize(1, 1)).united(QRect(client + from + QPoint(1, 1), QSize(1, 1))));
    adjusted.beginAdjust(Handle::BottomRight, client + from + QPoint(1, 1));
    adjusted.adjustTo(client + to, &edges, SelectorModel::SnapReach);
    QCOMPARE(adjusted.rect(), selected.translated(client));
}

void TestSelect::coveredEdgesDoNotSnap()
{
    // Another window in front of ours covers the picture display's right
    // edge from y 100 down: that part of the edge is out of sight.
    Elements e;
    e.add(QRect(400, 100, 300, 300));
    const int ours = e.add(QRect(0, 0, 640, 480));
    e.add(QRect(240, 8, 200, 192), ours);
    e.setScreens({ QRect(0, 0, 1280, 1024) });
    const SnapLines edges = e.edges();
    Selection s(QRect(0, 0, 1280, 1024));
    s.beginDrag(QRect(300, 20, 1, 1));
    s.dragTo(QRect(436, 60, 1, 1), &edges, SelectorModel::SnapReach);
    QCOMPARE(s.rect(), QRect(QPoint(300, 20), QPoint(439, 60))); // visible: snaps
    s.dragTo(QRect(436, 150, 1, 1), &edges, SelectorModel::SnapReach);
    QCOMPARE(s.rect(), QRect(QPoint(300, 20), QPoint(436, 150))); // covered: exact
    // The front window's own left edge is in sight, and takes it.
    s.dragTo(QRect(396, 150, 1, 1), &edges, SelectorModel::SnapReach);
    QCOMPARE(s.rect(), QRect(QPoint(300, 20), QPoint(399, 150)));
}

void TestSelect::keysStayInsideTheBounds_data()
{
    QTest::addColumn<QRect>("start");
    QTest::addColumn<int>("op"); // 0 move, 1 top-left corner, 2 bottom-right corner
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<QRect>("result");
    const QRect r(10, 10, 20, 20);
    QTest::newRow("move right 1") << r << 0 << QPoint(1, 0) << r.translated(1, 0);
    QTest::newRow("move up 10") << r << 0 << QPoint(0, -10) << r.translated(0, -10);
    QTest::newRow("left edge") << r << 0 << QPoint(-50, 0) << QRect(0, 10, 20, 20);
    QTest::newRow("top edge") << r << 0 << QPoint(0, -50) << QRect(10, 0, 20, 20);
    QTest::newRow("right edge") << r << 0 << QPoint(500, 0) << QRect(80, 10, 20, 20);
    QTest::newRow("bottom edge") << r << 0 << QPoint(0, 500) << QRect(10, 60, 20, 20);
    QTest::newRow("bottom-right grows") << r << 2 << QPoint(1, 10) << QRect(10, 10, 21, 30);
    QTest::newRow("bottom-right shrinks to a pixel, not less") << r << 2 << QPoint(-50, -50) << QRect(10, 10, 1, 1);
    QTest::newRow("bottom-right stops at the edge") << r << 2 << QPoint(500, 500) << QRect(QPoint(10, 10), QPoint(99, 79));
    QTest::newRow("top-left grows") << r << 1 << QPoint(-1, -10) << QRect(QPoint(9, 0), QPoint(29, 29));
    QTest::newRow("top-left stops at the edge") << r << 1 << QPoint(-50, -50) << QRect(QPoint(0, 0), QPoint(29, 29));
    QTest::newRow("top-left shrinks to a pixel, not less") << r << 1 << QPoint(50, 50) << QRect(29, 29, 1, 1);
}

void TestSelect::keysStayInsideTheBounds()
{
    QFETCH(QRect, start);
    QFETCH(int, op);
    QFETCH(QPoint, by);
    QFETCH(QRect, result);
    Selection s(QRect(0, 0, 100, 80));
    s.set(start);
    op == 0 ? s.move(by.x(), by.y()) : op == 1 ? s.moveTopLeft(by.x(), by.y()) : s.moveBottomRight(by.x(), by.y());
    QCOMPARE(s.rect(), result);
}

void TestSelect::elementChain_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QList<QRect>>("chain");
    const QRect screen(0, 0, 1280, 1024), frame(350, 250, 567, 520), client(351, 275, 565, 495),
        picture(591, 283, 200, 192), other(300, 200, 400, 200);
    QTest::newRow("the picture display") << QPoint(600, 300) << QList<QRect>{ picture, client, frame, screen };
    QTest::newRow("elsewhere in the window") << QPoint(400, 700) << QList<QRect>{ client, frame, screen };
    QTest::newRow("the frame") << QPoint(350, 260) << QList<QRect>{ frame, screen };
    QTest::newRow("another window behind ours shows where ours is not") << QPoint(320, 210)
                                                                          << QList<QRect>{ other, screen };
    QTest::newRow("the desktop") << QPoint(10, 10) << QList<QRect>{ screen };
}

void TestSelect::elementChain()
{
    QFETCH(QPoint, at);
    QFETCH(QList<QRect>, chain);
    Elements e;
    const int frame = e.add(QRect(350, 250, 567, 520)); // our window, in front
    const int client = e.add(QRect(351, 275, 565, 495), frame);
    e.add(QRect(591, 283, 200, 192), client);
    e.add(QRect(350, 300, 100, 20), client);
    e.add(QRect(300, 200, 400, 200)); // another program's window, behind
    e.setScreens({ QRect(0, 0, 1280, 1024) });
    const std::vector<QRect> got = e.chainAt(at);
    QCOMPARE(QList<QRect>(got.begin(), got.end()), chain);
}

void TestSelect::elementWalk()
{
    ElementWalk walk;
    const std::vector<QRect> chain{ QRect(5, 5, 10, 10), QRect(0, 0, 50, 50), QRect(0, 0, 100, 100) };
    walk.follow(chain);
    QCOMPARE(walk.current(), chain[0]);
    walk.inward(); // already innermost
    QCOMPARE(walk.current(), chain[0]);
    walk.outward();
    walk.outward();
    walk.outward(); // no further than the screen
    QCOMPARE(walk.current(), chain[2]);
    walk.inward();
    QCOMPARE(walk.current(), chain[1]);
    walk.follow(chain); // the pointer moved within the same element
    QCOMPARE(walk.current(), chain[1]);
    walk.follow({ QRect(60, 60, 5, 5), chain[2] }); // onto another element
    QCOMPARE(walk.current(), QRect(60, 60, 5, 5));
    walk.follow({});
    QVERIFY(walk.current().isEmpty());
}

void TestSelect::clickTakesTheElementUnderThePointer()
{
    Elements e;
    const int window = e.add(QRect(100, 100, 400, 300));
    e.add(QRect(240, 108, 200, 192), window); // the picture display
    Harness h(OneScreen, e);
    moveTo(h.model, QPointF(300, 200), Qt::NoButton);
    QCOMPARE(h.model.lit(), QRect(240, 108, 200, 192));
    // A small wobble during the click is still a click.
    press(h.model, QPointF(300, 200));
    moveTo(h.model, QPointF(301.5, 201));
    release(h.model, QPointF(301.5, 201));
    QCOMPARE(h.model.outcome(), SelectorModel::Outcome::Accepted);
    QCOMPARE(h.model.selectedImage(), h.layout.pictures()[0].copy(240, 108, 200, 192));

    // The wheel and Tab walk outward to the window, then the screen, and back in.
    Harness walk(OneScreen, e);
    moveTo(walk.model, QPointF(300, 200), Qt::NoButton);
    walk.model.wheel(1);
    QCOMPARE(walk.model.lit(), QRect(100, 100, 400, 300));
    walk.key(Qt::Key_Tab);
    QCOMPARE(walk.model.lit(), QRect(0, 0, 640, 480));
    QVERIFY(walk.model.litIsWholeScreen());
    walk.key(Qt::Key_Backtab);
    walk.key(Qt::Key_Return);
    QCOMPARE(walk.model.outcome(), SelectorModel::Outcome::Accepted);
    QCOMPARE(walk.model.selectedRect(), QRect(100, 100, 400, 300));
}

void TestSelect::outcomes_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QRect>("rect");
    const QRect dragged(QPoint(100, 100), QPoint(199, 149));
    QTest::newRow("Esc while hovering") << u"esc"_s << int(SelectorModel::Outcome::Cancelled) << QRect();
    QTest::newRow("Esc while dragging") << u"press move esc"_s << int(SelectorModel::Outcome::Cancelled) << QRect();
    QTest::newRow("right click while hovering") << u"right"_s << int(SelectorModel::Outcome::Cancelled) << QRect();
    QTest::newRow("release accepts a drag") << u"drag"_s << int(SelectorModel::Outcome::Accepted) << dragged;
    QTest::newRow("Enter accepts an adjusted selection") << u"ctrl-drag enter"_s << int(SelectorModel::Outcome::Accepted)
                                                         << dragged;
    QTest::newRow("double-click inside accepts") << u"ctrl-drag double"_s << int(SelectorModel::Outcome::Accepted) << dragged;
    QTest::newRow("right click while adjusting drops the selection, a second cancels")
        << u"ctrl-drag right pending right"_s << int(SelectorModel::Outcome::Cancelled) << QRect();
}

void TestSelect::outcomes()
{
    QFETCH(QString, steps);
    QFETCH(int, outcome);
    QFETCH(QRect, rect);
    Harness h(OneScreen);
    SelectorModel &o = h.model;
    for (const QString &step : steps.split(u' ')) {
        if (step == u"esc")
            h.key(Qt::Key_Escape);
        else if (step == u"enter")
            h.key(Qt::Key_Return);
        else if (step == u"press")
            press(o, QPointF(100, 100));
        else if (step == u"move")
            moveTo(o, QPointF(150, 150));
        else if (step == u"right")
            press(o, QPointF(150, 120), Qt::RightButton);
        else if (step == u"drag")
            drag(o, QPointF(100, 100), QPointF(199, 149));
        else if (step == u"ctrl-drag")
            drag(o, QPointF(100, 100), QPointF(199, 149), Qt::ControlModifier);
        else if (step == u"double")
            o.mouseDoubleClick(QPointF(150, 120), Qt::LeftButton);
        else if (step == u"pending") {
            QCOMPARE(h.model.outcome(), SelectorModel::Outcome::Pending);
            QCOMPARE(h.model.mode(), SelectorModel::Mode::Hovering);
            QVERIFY(h.model.selection().isEmpty());
        }
    }
    QCOMPARE(int(h.model.outcome()), outcome);
    QCOMPARE(h.model.selectedRect(), rect);
}

void TestSelect::dragAcrossTheSeamComposesBothScreens()
{
    // Two screens side by side, the right one at twice the density.
    const Layout two{ { QRect(0, 0, 320, 240), QRect(320, 0, 320, 240) }, { 1, 2 } };
    Harness h(two);
    // The press on the left screen's overlay: its events follow the pointer
    // onto the other screen, as an X server sends them.
    drag(h.model, QPointF(300, 100), QPointF(339, 119));
    QCOMPARE(h.model.outcome(), SelectorModel::Outcome::Accepted);
    // From the left screen's 2 x 2 cell of its pixel (300, 100) to the right
    // screen's device pixel (38, 238), both included.
    QCOMPARE(h.model.selectedRect(), QRect(QPoint(600, 200), QPoint(678, 238)));
    const QImage out = h.model.selectedImage();
    QCOMPARE(out.size(), QSize(79, 39)); // at the right screen's scale
    const auto pictures = two.pictures();
    QCOMPARE(out.pixel(0, 0), pictures[0].pixel(300, 100));
    QCOMPARE(out.pixel(1, 1), pictures[0].pixel(300, 100)); // a scale-1 pixel comes in twice as large
    QCOMPARE(out.pixel(38, 38), pictures[0].pixel(319, 119));
    QCOMPARE(out.pixel(40, 0), pictures[1].pixel(0, 200));
    QCOMPARE(out.pixel(78, 38), pictures[1].pixel(38, 238));
}

void TestSelect::scaledScreenGivesItsOwnPixels_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<QRect>("dragged"); // the picture's pixels
    const auto one = [](QRect logical, qreal scale, QSize pixels) {
        return Layout{ { logical }, { scale }, {}, { pixels } };
    };
    QTest::newRow("1920x1080 at 2, 960x540 logical")
        << one(QRect(0, 0, 960, 540), 2, QSize(1920, 1080)) << QPointF(40.5, 60.5) << QPointF(339.9, 209.9)
        << QRect(QPoint(81, 121), QPoint(679, 419));
    QTest::newRow("1920x1080 at 1.5, 1280x720 logical")
        << one(QRect(0, 0, 1280, 720), 1.5, QSize(1920, 1080)) << QPointF(40.5, 60.5) << QPointF(339.9, 209.9)
        << QRect(QPoint(60, 90), QPoint(509, 314));
    // sway gives the logical size rounded down: 910.67 x 512 as 910 x 512.
    // The last column lies past 910 x 1.5, where no pointer reaches, but is
    // part of the whole screen.
    QTest::newRow("1366x768 at 1.5, 910x512 logical")
        << one(QRect(0, 0, 910, 512), 1.5, QSize(1366, 768)) << QPointF(0, 0) << QPointF(909.99, 511.99)
        << QRect(QPoint(0, 0), QPoint(1364, 767));
    QTest::newRow("2256x1504 at 1.5, 1504x1002 logical")
        << one(QRect(0, 0, 1504, 1002), 1.5, QSize(2256, 1504)) << QPointF(0, 0) << QPointF(1503.99, 1001.99)
        << QRect(QPoint(0, 0), QPoint(2255, 1502));
}

void TestSelect::scaledScreenGivesItsOwnPixels()
{
    QFETCH(Layout, layout);
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    QFETCH(QRect, dragged);
    const QImage picture = layout.pictures()[0];
    {
        // Nothing but the screen under the pointer: one click takes it whole.
        Harness h(layout);
        press(h.model, from);
        release(h.model, from);
        QCOMPARE(h.model.outcome(), SelectorModel::Outcome::Accepted);
        QCOMPARE(h.model.selectedImage(), picture);
    }
    // Alt: no snapping to the screen's edges, which some drags end near.
    Harness h(layout);
    drag(h.model, from, to, Qt::AltModifier);
    QCOMPARE(h.model.outcome(), SelectorModel::Outcome::Accepted);
    QCOMPARE(h.model.selectedRect(), dragged);
    QCOMPARE(h.model.selectedImage(), picture.copy(dragged));
}

void TestSelect::ctrlReleaseAdjustsWithTheKeys()
{
    Harness h(OneScreen);
    drag(h.model, QPointF(100, 100), QPointF(199, 149), Qt::ControlModifier);
    QCOMPARE(h.model.mode(), SelectorModel::Mode::Adjusting);
    QCOMPARE(h.model.selectedRect(), QRect(100, 100, 100, 50));
    h.key(Qt::Key_Right);                          // move 1
    h.key(Qt::Key_Down, Qt::ShiftModifier);        // move 10
    QCOMPARE(h.model.selection().rect(), QRect(101, 110, 100, 50));
    h.key(Qt::Key_Left, Qt::ControlModifier);      // bottom-right corner in
    h.key(Qt::Key_Up, Qt::AltModifier);            // top-left corner up
    QCOMPARE(h.model.selection().rect(), QRect(QPoint(101, 109), QPoint(199, 159)));
    // A handle dragged with the mouse: the right edge outwards by 20.
    press(h.model, QPointF(200, 130));
    moveTo(h.model, QPointF(220, 131));
    release(h.model, QPointF(220, 131));
    QCOMPARE(h.model.selection().rect(), QRect(QPoint(101, 109), QPoint(219, 159)));
    h.key(Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(h.model.outcome(), SelectorModel::Outcome::Accepted);
    QCOMPARE(h.model.selectedImage(), h.layout.pictures()[0].copy(QRect(QPoint(101, 109), QPoint(219, 159))));

    // At scale 2 an arrow moves by one device pixel, a desktop pixel there.
    Harness hi(Layout{ { QRect(0, 0, 320, 240) }, { 2 } });
    drag(hi.model, QPointF(10, 10), QPointF(19.5, 19.5), Qt::ControlModifier);
    const QRect before = hi.model.selection().rect();
    hi.key(Qt::Key_Right);
    QCOMPARE(hi.model.selection().rect(), before.translated(1, 0));
}

void TestSelect::spaceDuringTheDragKeepsTheSelection()
{
    Harness h(OneScreen);
    press(h.model, QPointF(10, 10));
    moveTo(h.model, QPointF(60, 60));
    h.key(Qt::Key_Space);
    release(h.model, QPointF(60, 60));
    QCOMPARE(h.model.outcome(), SelectorModel::Outcome::Pending);
    QCOMPARE(h.model.mode(), SelectorModel::Mode::Adjusting);
    QCOMPARE(h.model.selection().rect(), QRect(QPoint(10, 10), QPoint(60, 60)));
}

void TestSelect::lastRegionComesBackWithR()
{
    Harness h(OneScreen);
    h.model.setLastRegion(QRectF(50, 60, 70, 80));
    h.key(Qt::Key_R);
    QCOMPARE(h.model.mode(), SelectorModel::Mode::Adjusting);
    QCOMPARE(h.model.selection().rect(), QRect(50, 60, 70, 80));
    // A region no longer on any screen does not come back.
    Harness gone(OneScreen);
    gone.model.setLastRegion(QRectF(2000, 60, 70, 80));
    gone.key(Qt::Key_R);
    QCOMPARE(gone.model.mode(), SelectorModel::Mode::Hovering);
    QVERIFY(gone.model.selection().isEmpty());
}

QTEST_MAIN(TestSelect)
#include "tst_select.moc"
