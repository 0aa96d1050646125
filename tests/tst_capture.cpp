// The capture library without real screens: the desktop's pixel grid across
// screens (splitting a portal's picture, composing a selection), the
// selection's geometry, the element walk, the magnifier's place, the selector
// driven with synthetic frozen screens, and the portal backend against a
// stand-in portal and a stand-in KWin on a private bus.

#include "Desktop.h"
#include "Elements.h"
#include "FindPicture.h"
#include "Magnifier.h"
#include "PointerTrail.h"
#ifdef LUMARO_PORTAL
#include "KWinGrab.h"
#include "PortalGrab.h"
#endif
#include "Selection.h"
#include "SelectionOverlay.h"
#include "Shade.h"
#include "Selector.h"

#include <QApplication>
#include <QClipboard>
#ifdef LUMARO_PORTAL
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#endif
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QPicture>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <map>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace lumaro::capture;

namespace {

// A picture whose every pixel says where it is: red = screen, green and
// blue = x and y (mod 256), so that a wrong screen or offset shows at once.
QImage tagged(int screen, int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(40 * screen + 20, x % 256, y % 256));
    return img;
}

struct Layout
{
    std::vector<QRect> logical;
    std::vector<qreal> scales;
    // Where each screen lies in the window system's pixels (X11, Windows);
    // none: a logical layout (Wayland).
    std::vector<QRect> native = {};
    // The pictures' sizes where they are not logical x scale: a compositor
    // gives a fractional logical size rounded down.
    std::vector<QSize> pixels = {};

    std::vector<QImage> pictures() const
    {
        std::vector<QImage> p;
        for (std::size_t i = 0; i < logical.size(); ++i) {
            const QSize size = i < pixels.size() ? pixels[i]
                                                 : QSize(int(logical[i].width() * scales[i]),
                                                         int(logical[i].height() * scales[i]));
            p.push_back(tagged(int(i), size.width(), size.height()));
        }
        return p;
    }
    Desktop desktop() const
    {
        std::vector<Desktop::Place> s;
        for (std::size_t i = 0; i < logical.size(); ++i)
            s.push_back({ logical[i], scales[i], native.empty() ? QRect() : native[i],
                          i < pixels.size() ? pixels[i] : QSize(), native.empty() ? 0 : scales[i] });
        return Desktop(s);
    }
    std::vector<FrozenScreen> frozen() const
    {
        std::vector<FrozenScreen> f;
        const auto p = pictures();
        for (std::size_t i = 0; i < logical.size(); ++i)
            f.push_back({ nullptr, logical[i], p[i], p[i].size(), native.empty() ? QRect() : native[i],
                          native.empty() ? 0 : scales[i] });
        return f;
    }
};

// Pixel probes: output point -> (screen, device pixel) it must come from.
struct Probe
{
    QPoint out;
    int screen;
    QPoint device;
};

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
void drag(QWidget *w, QPointF from, QPointF to, Qt::KeyboardModifiers atRelease = {})
{
    press(w, from);
    moveTo(w, (from + to) / 2);
    moveTo(w, to);
    release(w, to, Qt::LeftButton, atRelease);
}

// A selector over synthetic screens, on screen and with its elements in.
struct Harness
{
    explicit Harness(const Layout &layout, Elements elements = {})
        : layout(layout)
        , selector(layout.frozen())
    {
        selector.setElementSource([elements](const Desktop &, const QList<WId> &) { return Scene{ elements, {} }; });
        selector.show();
        for (int i = 0; i < selector.screenCount(); ++i)
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

const Layout OneScreen{ { QRect(0, 0, 640, 480) }, { 1.0 } };

// Lumaro's window as the selector finds it under Xvfb: the frame, the client
// area at `client`, and the panels and controls where they stand in it (its
// pixels, as the running program reports them).
Elements lumaroWindow(QPoint client, std::vector<QRect> screens)
{
    struct Place
    {
        int x, y, w, h;
        std::vector<Place> children = {};
    };
    const std::vector<Place> front{
        { 120, 8, 105, 201, { { 128 - 120, 24 - 8, 81, 33 }, { 8, 56, 81, 33 }, { 8, 96, 81, 33 }, { 8, 136, 81, 33 } } },
        { 8, 216, 217, 257, { { 8, 16, 177, 24 }, { 8, 48, 105, 33 }, { 8, 88, 81, 25 }, { 8, 120, 81, 25 },
                              { 8, 200, 89, 41 }, { 112, 200, 89, 41 } } },
        { 8, 16, 105, 193, { { 8, 24, 42, 14 }, { 32, 88, 33, 18 }, { 32, 120, 33, 18 }, { 16, 152, 49, 25 } } },
        { 384, 144, 32, 16 }, // Label1
        { 240, 8, 200, 192 }, // Imageshow
    };
    Elements e;
    const int frame = e.add(QRect(client.x() - 1, client.y() - 25, 567, 521));
    const int inside = e.add(QRect(client, QSize(565, 495)), frame);
    for (const Place &p : front) {
        const int panel = e.add(QRect(client + QPoint(p.x, p.y), QSize(p.w, p.h)), inside);
        for (const Place &c : p.children)
            e.add(QRect(client + QPoint(p.x + c.x, p.y + c.y), QSize(c.w, c.h)), panel);
    }
    e.setScreens(std::move(screens));
    return e;
}

} // namespace

Q_DECLARE_METATYPE(Layout)
Q_DECLARE_METATYPE(Probe)

class TestCapture : public QObject
{
    Q_OBJECT
private slots:
    // The desktop across screens
    void composeAcrossScreens_data();
    void composeAcrossScreens();
    void splitDesktopPicture_data();
    void splitDesktopPicture();
    void cellsAtMixedScales();
    void cellsInTheWindowSystemsPixels();
    void pointerTrail_data();
    void pointerTrail();

    // Selection geometry
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

    // Elements and the magnifier's place
    void elementChain_data();
    void elementChain();
    void elementWalk();
    void magnifierPlace_data();
    void magnifierPlace();
    void findPictureInTheDesktop_data();
    void findPictureInTheDesktop();

    // The selector with synthetic screens
    void clickTakesTheElementUnderThePointer();
    void inputOnAnotherWindowCountsWhereItIs_data();
    void inputOnAnotherWindowCountsWhereItIs();
    void pointerCountsOnceItsWindowIsFound_data();
    void pointerCountsOnceItsWindowIsFound();
    void outcomes_data();
    void outcomes();
    void dragAcrossTheSeamComposesBothScreens();
    void scaledScreenGivesItsOwnPixels_data();
    void scaledScreenGivesItsOwnPixels();
    void ctrlReleaseAdjustsWithTheKeys();
    void spaceDuringTheDragKeepsTheSelection();
    void magnifierShowsThePixelUnderThePointer();
    void shadeAsQPainterDarkens_data();
    void shadeAsQPainterDarkens();
    void frozenScreenPaintsAsQPainterDoes();
    void aSnapIsShownAsItWillBeTaken();
    void hintFollowsTheMode();
    void lastRegionComesBackWithR();

#ifdef LUMARO_PORTAL
    // The desktop portal
    void portal_data();
    void portal();
    void portalWaitCanBeCancelled();

    // KWin's screenshot interface
    void kwin_data();
    void kwin();
    void cleanupTestCase();

private:
    bool startBus();
    QProcess m_bus;
    QString m_busAddress;
#endif
};

// ---------------------------------------------------------------- desktop

void TestCapture::composeAcrossScreens_data()
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

void TestCapture::composeAcrossScreens()
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
                                .arg(magnifier::colourName(out.pixel(p.out)), magnifier::colourName(expected))));
    }
}

void TestCapture::splitDesktopPicture_data()
{
    QTest::addColumn<QSize>("whole");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<QList<QRect>>("parts"); // where each part comes from in the whole picture
    QTest::newRow("two screens, scale 1") << QSize(300, 100) << QList<QRect>{ { 0, 0, 100, 100 }, { 100, 0, 200, 100 } }
                                          << QList<QRect>{ { 0, 0, 100, 100 }, { 100, 0, 200, 100 } };
    QTest::newRow("two screens, picture at scale 2")
        << QSize(600, 200) << QList<QRect>{ { 0, 0, 100, 100 }, { 100, 0, 200, 100 } }
        << QList<QRect>{ { 0, 0, 200, 200 }, { 200, 0, 400, 200 } };
    QTest::newRow("negative origin, stacked")
        << QSize(100, 150) << QList<QRect>{ { 0, -50, 100, 50 }, { 0, 0, 100, 100 } }
        << QList<QRect>{ { 0, 0, 100, 50 }, { 0, 50, 100, 100 } };
    QTest::newRow("a picture that does not fit the layout")
        << QSize(300, 300) << QList<QRect>{ { 0, 0, 100, 100 }, { 100, 0, 200, 100 } } << QList<QRect>{};
}

void TestCapture::splitDesktopPicture()
{
    QFETCH(QSize, whole);
    QFETCH(QList<QRect>, screens);
    QFETCH(QList<QRect>, parts);
    const QImage picture = tagged(0, whole.width(), whole.height());
    QString error;
    const auto got = lumaro::capture::splitDesktopPicture(picture, { screens.begin(), screens.end() }, &error);
    if (parts.isEmpty()) {
        QVERIFY(got.empty());
        QVERIFY(error.contains(u"不符"_s));
        return;
    }
    QCOMPARE(int(got.size()), parts.size());
    for (int i = 0; i < parts.size(); ++i)
        QCOMPARE(got[std::size_t(i)], picture.copy(parts[i]));
}

void TestCapture::cellsAtMixedScales()
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

void TestCapture::cellsInTheWindowSystemsPixels()
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

// Pointer events as the X server sends them (x only, at 150 %), then the
// places Qt delivers, rounded to whole logical pixels.
void TestCapture::pointerTrail_data()
{
    QTest::addColumn<QList<int>>("sent");
    QTest::addColumn<QList<qreal>>("delivered");
    QTest::addColumn<QList<int>>("found"); // -1: not known
    QTest::newRow("each delivered place finds its pixel") << QList<int>{ 647, 648, 649 } << QList<qreal>{ 431, 432, 433 }
                                                         << QList<int>{ 647, 648, 649 };
    QTest::newRow("one pixel sent twice") << QList<int>{ 817, 817 } << QList<qreal>{ 545, 545 } << QList<int>{ 817, 817 };
    // Qt folds motions together: the ones it dropped are passed over.
    QTest::newRow("motions Qt dropped") << QList<int>{ 100, 200, 300 } << QList<qreal>{ 200 } << QList<int>{ 300 };
    QTest::newRow("nothing older comes back") << QList<int>{ 100, 647 } << QList<qreal>{ 431, 67 } << QList<int>{ 647, -1 };
    QTest::newRow("a place no recorded pixel rounds to") << QList<int>{ 647 } << QList<qreal>{ 433, 431 }
                                                        << QList<int>{ -1, 647 };
}

void TestCapture::pointerTrail()
{
    QFETCH(QList<int>, sent);
    QFETCH(QList<qreal>, delivered);
    QFETCH(QList<int>, found);
    PointerTrail trail;
    trail.addScreen(QRect(0, 0, 3000, 3000), QRect(0, 0, 2000, 2000), 1.5);
    for (int x : sent)
        trail.record(QPoint(x, 30));
    for (int i = 0; i < delivered.size(); ++i) {
        const std::optional<QPoint> got = trail.take(QPointF(delivered[i], 20));
        QCOMPARE(got ? got->x() : -1, found[i]);
    }
}

// ---------------------------------------------------------------- selection

void TestCapture::handles_data()
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

void TestCapture::handles()
{
    QFETCH(qreal, scale);
    QFETCH(QPointF, logical);
    QFETCH(int, handle);
    // Reach and the selection are the same logical size at either scale.
    Selection s(QRect(0, 0, int(1000 * scale), int(1000 * scale)));
    const QPointF origin(100 * scale, 100 * scale);
    s.set(QRect(origin.toPoint(), QSize(int(100 * scale), int(50 * scale))));
    QCOMPARE(int(s.handleAt(origin + logical * scale, Selector::HandleReach * scale)), handle);
}

void TestCapture::dragAndSnap_data()
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

void TestCapture::dragAndSnap()
{
    QFETCH(QRect, anchor);
    QFETCH(QRect, to);
    QFETCH(bool, snapping);
    QFETCH(QRect, selected);
    Selection s(QRect(0, 0, 1280, 1024));
    const SnapLines lines = snapLinesOf({ QRect(100, 100, 200, 100) });
    s.beginDrag(anchor);
    s.dragTo(to, snapping ? &lines : nullptr, Selector::SnapReach);
    QCOMPARE(s.rect(), selected);
}

void TestCapture::adjustWithHandles_data()
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

void TestCapture::adjustWithHandles()
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

void TestCapture::dragsOverLumarosWindow_data()
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

void TestCapture::dragsOverLumarosWindow()
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
    s.dragTo(QRect(client + (from + to) / 2, QSize(1, 1)), &edges, Selector::SnapReach);
    s.dragTo(QRect(client + to, QSize(1, 1)), &edges, Selector::SnapReach);
    QCOMPARE(s.rect(), selected.translated(client));

    // Moved with a handle, an edge snaps by the same rule.
    Selection adjusted(s.bounds());
    adjusted.set(QRect(client + from, QSize(1, 1)).united(QRect(client + from + QPoint(1, 1), QSize(1, 1))));
    adjusted.beginAdjust(Handle::BottomRight, client + from + QPoint(1, 1));
    adjusted.adjustTo(client + to, &edges, Selector::SnapReach);
    QCOMPARE(adjusted.rect(), selected.translated(client));
}

void TestCapture::coveredEdgesDoNotSnap()
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
    s.dragTo(QRect(436, 60, 1, 1), &edges, Selector::SnapReach);
    QCOMPARE(s.rect(), QRect(QPoint(300, 20), QPoint(439, 60))); // visible: snaps
    s.dragTo(QRect(436, 150, 1, 1), &edges, Selector::SnapReach);
    QCOMPARE(s.rect(), QRect(QPoint(300, 20), QPoint(436, 150))); // covered: exact
    // The front window's own left edge is in sight, and takes it.
    s.dragTo(QRect(396, 150, 1, 1), &edges, Selector::SnapReach);
    QCOMPARE(s.rect(), QRect(QPoint(300, 20), QPoint(399, 150)));
}

void TestCapture::keysStayInsideTheBounds_data()
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

void TestCapture::keysStayInsideTheBounds()
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

// ---------------------------------------------------------------- elements

void TestCapture::elementChain_data()
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

void TestCapture::elementChain()
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

void TestCapture::elementWalk()
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

void TestCapture::magnifierPlace_data()
{
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QRect>("screen");
    const QRect s(0, 0, 1280, 1024), left(-1280, 0, 1280, 1024);
    for (const QPoint &p : { QPoint(640, 512), QPoint(1279, 500), QPoint(600, 1023), QPoint(1279, 1023),
                             QPoint(0, 0), QPoint(1200, 0), QPoint(0, 1000) })
        QTest::newRow(qPrintable(u"%1,%2"_s.arg(p.x()).arg(p.y()))) << p << s;
    QTest::newRow("screen at a negative origin, its right edge") << QPoint(-1, 1020) << left;
}

void TestCapture::magnifierPlace()
{
    QFETCH(QPoint, cursor);
    QFETCH(QRect, screen);
    const QRect r = magnifier::place(cursor, screen);
    QVERIFY2(screen.contains(r), "inside the screen");
    QVERIFY2(!r.adjusted(-2, -2, 2, 2).contains(cursor), "never over the pointer");
    QCOMPARE(r.size(), QSize(magnifier::Loupe, magnifier::Loupe + magnifier::TextHeight));
}

void TestCapture::findPictureInTheDesktop_data()
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

void TestCapture::findPictureInTheDesktop()
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

// ---------------------------------------------------------------- selector

void TestCapture::clickTakesTheElementUnderThePointer()
{
    Elements e;
    const int window = e.add(QRect(100, 100, 400, 300));
    e.add(QRect(240, 108, 200, 192), window); // the picture display
    Harness h(OneScreen, e);
    QVERIFY(h.exposed);
    moveTo(h.overlay(), QPointF(300, 200), Qt::NoButton);
    QCOMPARE(h.selector.lit(), QRect(240, 108, 200, 192));
    // A small wobble during the click is still a click.
    press(h.overlay(), QPointF(300, 200));
    moveTo(h.overlay(), QPointF(301.5, 201));
    release(h.overlay(), QPointF(301.5, 201));
    QCOMPARE(h.selector.outcome(), Selector::Outcome::Accepted);
    QCOMPARE(h.selector.selectedImage(), h.layout.pictures()[0].copy(240, 108, 200, 192));

    // The wheel and Tab walk outward to the window, then the screen, and back in.
    Harness walk(OneScreen, e);
    moveTo(walk.overlay(), QPointF(300, 200), Qt::NoButton);
    QWheelEvent up(QPointF(300, 200), QPointF(300, 200), {}, QPoint(0, 120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(walk.overlay(), &up);
    QCOMPARE(walk.selector.lit(), QRect(100, 100, 400, 300));
    walk.key(Qt::Key_Tab);
    QCOMPARE(walk.selector.lit(), QRect(0, 0, 640, 480));
    QVERIFY(walk.selector.litIsWholeScreen());
    walk.key(Qt::Key_Backtab);
    walk.key(Qt::Key_Return);
    QCOMPARE(walk.selector.outcome(), Selector::Outcome::Accepted);
    QCOMPARE(walk.selector.selectedRect(), QRect(100, 100, 400, 300));
}

void TestCapture::inputOnAnotherWindowCountsWhereItIs_data()
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

void TestCapture::inputOnAnotherWindowCountsWhereItIs()
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
        scene.ownWindows.push_back({ QRectF(210, 160, 300, 200), &main, offset });
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
    QCOMPARE(int(selector.outcome()), outcome);
    QCOMPARE(selector.selectedRect(), selected);
    if (outcome == int(Selector::Outcome::Accepted))
        QCOMPARE(selector.selectedImage(), OneScreen.pictures()[0].copy(selected));
    else
        QCOMPARE(selector.mode(), Selector::Mode::Hovering);
    // Never a click on the window under the selector.
    QCOMPARE(clicked.count(), 0);
    selector.hide();
}

// Under Wayland the pointer's place from Qt is relative to where Qt thinks
// the window under it is: nothing is highlighted, magnified or taken there
// until that window has been found on the screen, and then it is the place
// on the screen that counts. Where the window is not found, the pointer's
// first move over the selector places it.
void TestCapture::pointerCountsOnceItsWindowIsFound_data()
{
    QTest::addColumn<bool>("placeKnown");
    QTest::newRow("window found") << true;
    QTest::newRow("window not found") << false;
}

void TestCapture::pointerCountsOnceItsWindowIsFound()
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
        scene.ownWindows.push_back({ QRectF(210, 160, 300, 200), &main, offset });
    QGuiApplication::clipboard()->setText(u"before"_s);

    Selector selector(OneScreen.frozen());
    selector.setElementSource([scene](const Desktop &, const QList<WId> &) { return scene; });
    selector.placeCursorLater(main.mapToGlobal(QPointF(50, 45)), main.windowHandle()); // over the button
    selector.show();
    QVERIFY(QTest::qWaitForWindowExposed(selector.overlay(0)));
    QVERIFY(selector.lit().isEmpty());
    QVERIFY(!selector.magnifierShown());
    QVERIFY(selector.overlay(0)->layout().magnifier.isEmpty());
    QVERIFY(selector.overlay(0)->layout().label.isEmpty());
    QTest::keyClick(selector.overlay(0), Qt::Key_C);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"before"_s); // no colour from a place not known
    QTest::keyClick(selector.overlay(0), Qt::Key_Return);
    QCOMPARE(selector.outcome(), Selector::Outcome::Pending); // nothing shown to take

    selector.firstPainted();
    QTRY_VERIFY(!selector.lit().isEmpty() || !placeKnown);
    if (placeKnown) {
        QCOMPARE(selector.cursor(), QPointF(260, 205));
        QCOMPARE(selector.lit(), QRect(230, 190, 100, 30));
        QVERIFY(selector.magnifierShown());
        QVERIFY(!selector.overlay(0)->layout().magnifier.isEmpty());
    } else {
        QCoreApplication::processEvents();
        QVERIFY(selector.lit().isEmpty());
        QVERIFY(!selector.magnifierShown());
        moveTo(selector.overlay(0), QPointF(300, 300), Qt::NoButton);
        QCOMPARE(selector.lit(), QRect(210, 160, 300, 200));
        QVERIFY(selector.magnifierShown());
    }
    QTest::keyClick(selector.overlay(0), Qt::Key_Return);
    QCOMPARE(selector.outcome(), Selector::Outcome::Accepted);
    QCOMPARE(selector.selectedRect(), placeKnown ? QRect(230, 190, 100, 30) : QRect(210, 160, 300, 200));
    selector.hide();
}

void TestCapture::outcomes_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QRect>("rect");
    const QRect dragged(QPoint(100, 100), QPoint(199, 149));
    QTest::newRow("Esc while hovering") << u"esc"_s << int(Selector::Outcome::Cancelled) << QRect();
    QTest::newRow("Esc while dragging") << u"press move esc"_s << int(Selector::Outcome::Cancelled) << QRect();
    QTest::newRow("right click while hovering") << u"right"_s << int(Selector::Outcome::Cancelled) << QRect();
    QTest::newRow("release accepts a drag") << u"drag"_s << int(Selector::Outcome::Accepted) << dragged;
    QTest::newRow("Enter accepts an adjusted selection") << u"ctrl-drag enter"_s << int(Selector::Outcome::Accepted)
                                                         << dragged;
    QTest::newRow("double-click inside accepts") << u"ctrl-drag double"_s << int(Selector::Outcome::Accepted) << dragged;
    QTest::newRow("right click while adjusting drops the selection, a second cancels")
        << u"ctrl-drag right pending right"_s << int(Selector::Outcome::Cancelled) << QRect();
}

void TestCapture::outcomes()
{
    QFETCH(QString, steps);
    QFETCH(int, outcome);
    QFETCH(QRect, rect);
    Harness h(OneScreen);
    QWidget *o = h.overlay();
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
            send(o, QEvent::MouseButtonDblClick, QPointF(150, 120), Qt::LeftButton, Qt::LeftButton);
        else if (step == u"pending") {
            QCOMPARE(h.selector.outcome(), Selector::Outcome::Pending);
            QCOMPARE(h.selector.mode(), Selector::Mode::Hovering);
            QVERIFY(h.selector.selection().isEmpty());
        }
    }
    QCOMPARE(int(h.selector.outcome()), outcome);
    QCOMPARE(h.selector.selectedRect(), rect);
}

void TestCapture::dragAcrossTheSeamComposesBothScreens()
{
    // Two screens side by side, the right one at twice the density.
    const Layout two{ { QRect(0, 0, 320, 240), QRect(320, 0, 320, 240) }, { 1, 2 } };
    Harness h(two);
    // The press on the left screen's overlay: its events follow the pointer
    // onto the other screen, as an X server sends them.
    drag(h.overlay(0), QPointF(300, 100), QPointF(339, 119));
    QCOMPARE(h.selector.outcome(), Selector::Outcome::Accepted);
    // From the left screen's 2 x 2 cell of its pixel (300, 100) to the right
    // screen's device pixel (38, 238), both included.
    QCOMPARE(h.selector.selectedRect(), QRect(QPoint(600, 200), QPoint(678, 238)));
    const QImage out = h.selector.selectedImage();
    QCOMPARE(out.size(), QSize(79, 39)); // at the right screen's scale
    const auto pictures = two.pictures();
    QCOMPARE(out.pixel(0, 0), pictures[0].pixel(300, 100));
    QCOMPARE(out.pixel(1, 1), pictures[0].pixel(300, 100)); // a scale-1 pixel comes in twice as large
    QCOMPARE(out.pixel(38, 38), pictures[0].pixel(319, 119));
    QCOMPARE(out.pixel(40, 0), pictures[1].pixel(0, 200));
    QCOMPARE(out.pixel(78, 38), pictures[1].pixel(38, 238));
}

void TestCapture::scaledScreenGivesItsOwnPixels_data()
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

void TestCapture::scaledScreenGivesItsOwnPixels()
{
    QFETCH(Layout, layout);
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    QFETCH(QRect, dragged);
    const QImage picture = layout.pictures()[0];
    {
        // Nothing but the screen under the pointer: one click takes it whole.
        Harness h(layout);
        press(h.overlay(), from);
        release(h.overlay(), from);
        QCOMPARE(h.selector.outcome(), Selector::Outcome::Accepted);
        QCOMPARE(h.selector.selectedImage(), picture);
    }
    // Alt: no snapping to the screen's edges, which some drags end near.
    Harness h(layout);
    drag(h.overlay(), from, to, Qt::AltModifier);
    QCOMPARE(h.selector.outcome(), Selector::Outcome::Accepted);
    QCOMPARE(h.selector.selectedRect(), dragged);
    QCOMPARE(h.selector.selectedImage(), picture.copy(dragged));
}

void TestCapture::ctrlReleaseAdjustsWithTheKeys()
{
    Harness h(OneScreen);
    drag(h.overlay(), QPointF(100, 100), QPointF(199, 149), Qt::ControlModifier);
    QCOMPARE(h.selector.mode(), Selector::Mode::Adjusting);
    QCOMPARE(h.selector.selectedRect(), QRect(100, 100, 100, 50));
    h.key(Qt::Key_Right);                          // move 1
    h.key(Qt::Key_Down, Qt::ShiftModifier);        // move 10
    QCOMPARE(h.selector.selection().rect(), QRect(101, 110, 100, 50));
    h.key(Qt::Key_Left, Qt::ControlModifier);      // bottom-right corner in
    h.key(Qt::Key_Up, Qt::AltModifier);            // top-left corner up
    QCOMPARE(h.selector.selection().rect(), QRect(QPoint(101, 109), QPoint(199, 159)));
    // A handle dragged with the mouse: the right edge outwards by 20.
    press(h.overlay(), QPointF(200, 130));
    moveTo(h.overlay(), QPointF(220, 131));
    release(h.overlay(), QPointF(220, 131));
    QCOMPARE(h.selector.selection().rect(), QRect(QPoint(101, 109), QPoint(219, 159)));
    h.key(Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(h.selector.outcome(), Selector::Outcome::Accepted);
    QCOMPARE(h.selector.selectedImage(), h.layout.pictures()[0].copy(QRect(QPoint(101, 109), QPoint(219, 159))));

    // At scale 2 an arrow moves by one device pixel, a desktop pixel there.
    Harness hi(Layout{ { QRect(0, 0, 320, 240) }, { 2 } });
    drag(hi.overlay(), QPointF(10, 10), QPointF(19.5, 19.5), Qt::ControlModifier);
    const QRect before = hi.selector.selection().rect();
    hi.key(Qt::Key_Right);
    QCOMPARE(hi.selector.selection().rect(), before.translated(1, 0));
}

void TestCapture::spaceDuringTheDragKeepsTheSelection()
{
    Harness h(OneScreen);
    press(h.overlay(), QPointF(10, 10));
    moveTo(h.overlay(), QPointF(60, 60));
    h.key(Qt::Key_Space);
    release(h.overlay(), QPointF(60, 60));
    QCOMPARE(h.selector.outcome(), Selector::Outcome::Pending);
    QCOMPARE(h.selector.mode(), Selector::Mode::Adjusting);
    QCOMPARE(h.selector.selection().rect(), QRect(QPoint(10, 10), QPoint(60, 60)));
}

// The one-pass copy of the frozen screen against QPainter drawing the picture
// and a fill of the selector's shade over it: every value of every channel,
// rows of every length around the four-pixel steps, a shifted picture, a
// bright part, an area shared between two threads. What lies outside the
// regions is left alone.
void TestCapture::shadeAsQPainterDarkens_data()
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

void TestCapture::shadeAsQPainterDarkens()
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
void TestCapture::frozenScreenPaintsAsQPainterDoes()
{
    Harness h(OneScreen);
    press(h.overlay(), QPointF(100, 80));
    moveTo(h.overlay(), QPointF(300, 200));
    h.key(Qt::Key_Space); // the selection stays, with its handles
    release(h.overlay(), QPointF(300, 200));
    QCOMPARE(h.selector.mode(), Selector::Mode::Adjusting);
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

void TestCapture::magnifierShowsThePixelUnderThePointer()
{
    Harness h(OneScreen);
    const QImage picture = h.layout.pictures()[0];
    moveTo(h.overlay(), QPointF(123, 45), Qt::NoButton);
    QCOMPARE(h.selector.colourUnderCursor(), magnifier::colourName(picture.pixel(123, 45)));
    QCOMPARE(h.selector.colourUnderCursor(), u"#147B2D"_s);
    QCOMPARE(h.selector.cursorPosition(), QPoint(123, 45));

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
    QCOMPARE(h.selector.outcome(), Selector::Outcome::Pending);
    h.key(Qt::Key_Z);
    QVERIFY(h.overlay()->layout().magnifier.isEmpty());
    h.key(Qt::Key_Z);
    QVERIFY(!h.overlay()->layout().magnifier.isEmpty());
}

void TestCapture::aSnapIsShownAsItWillBeTaken()
{
    Elements e;
    e.add(QRect(240, 8, 200, 192)); // the picture display, its right edge at x 440
    Harness h(OneScreen, e);
    press(h.overlay(), QPointF(300, 40));
    moveTo(h.overlay(), QPointF(370, 70));
    QVERIFY(h.overlay()->layout().guides.empty());
    QCOMPARE(h.selector.cursorPosition(), QPoint(370, 70));

    moveTo(h.overlay(), QPointF(434, 100));
    const QRect shown = h.selector.selection().rect();
    QCOMPARE(shown, QRect(QPoint(300, 40), QPoint(439, 100)));
    // The guide runs along the element's edge; the read-outs give the pixel
    // the selection ends at, not the one under the pointer.
    const auto guides = h.overlay()->layout().guides;
    QCOMPARE(guides.size(), std::size_t(1));
    QCOMPARE(guides.front(), QLineF(440, 8, 440, 200));
    QCOMPARE(h.selector.cursorPosition(), QPoint(439, 100));
    QCOMPARE(h.selector.pixelUnderCursor()->second, QPoint(439, 100));
    QVERIFY(h.overlay()->layout().label.isValid());

    release(h.overlay(), QPointF(434, 100));
    QCOMPARE(h.selector.outcome(), Selector::Outcome::Accepted);
    QCOMPARE(h.selector.selectedRect(), shown);
    QVERIFY(h.overlay()->layout().guides.empty());

    // With Alt the guide goes and the pointer's own pixel counts again.
    Harness free(OneScreen, e);
    press(free.overlay(), QPointF(300, 40));
    moveTo(free.overlay(), QPointF(370, 70));
    moveTo(free.overlay(), QPointF(434, 100), Qt::LeftButton, Qt::AltModifier);
    QVERIFY(free.overlay()->layout().guides.empty());
    QCOMPARE(free.selector.cursorPosition(), QPoint(434, 100));
    release(free.overlay(), QPointF(434, 100), Qt::LeftButton, Qt::AltModifier);
    QCOMPARE(free.selector.selectedRect(), QRect(QPoint(300, 40), QPoint(434, 100)));
}

void TestCapture::hintFollowsTheMode()
{
    Harness h(OneScreen);
    QVERIFY(h.selector.hint().contains(u"单击"_s));
    press(h.overlay(), QPointF(300, 300));
    moveTo(h.overlay(), QPointF(350, 350));
    QVERIFY(h.selector.hint().contains(u"松开"_s));
    release(h.overlay(), QPointF(350, 350), Qt::LeftButton, Qt::ControlModifier);
    QVERIFY(h.selector.hint().contains(u"方向键"_s));
    for (auto mode : { Selector::Mode::Hovering, Selector::Mode::Dragging, Selector::Mode::Adjusting })
        QVERIFY(QFontMetrics(h.overlay()->font()).horizontalAdvance(Selector::hintFor(mode)) < 1000);
    // Near the pointer the hint fades; far from it, it does not.
    moveTo(h.overlay(), QPointF(320, 20), Qt::NoButton);
    QVERIFY(h.overlay()->layout().hintFaded);
    moveTo(h.overlay(), QPointF(320, 400), Qt::NoButton);
    QVERIFY(!h.overlay()->layout().hintFaded);

    // On a narrow screen the hint is shortened to fit its box.
    Harness small(Layout{ { QRect(0, 0, 300, 200) }, { 1.0 } });
    const QFontMetricsF fm(small.overlay()->font());
    const SelectionOverlay::Layout narrow = small.overlay()->layout();
    QVERIFY(narrow.hintText != small.selector.hint());
    QVERIFY(fm.horizontalAdvance(narrow.hintText) <= narrow.hint.width() - 24);

    // Where there is room it is shown whole, in every mode: a box measured in
    // whole pixels once cut off its last word ("Esc：取消").
    Harness wide(Layout{ { QRect(0, 0, 1920, 1080) }, { 1.0 } });
    QCOMPARE(wide.overlay()->layout().hintText, wide.selector.hint());
    press(wide.overlay(), QPointF(300, 300));
    moveTo(wide.overlay(), QPointF(350, 350));
    QCOMPARE(wide.overlay()->layout().hintText, wide.selector.hint());
    release(wide.overlay(), QPointF(350, 350), Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(wide.selector.mode(), Selector::Mode::Adjusting);
    QCOMPARE(wide.overlay()->layout().hintText, wide.selector.hint());
}

void TestCapture::lastRegionComesBackWithR()
{
    Harness h(OneScreen);
    h.selector.setLastRegion(QRectF(50, 60, 70, 80));
    h.key(Qt::Key_R);
    QCOMPARE(h.selector.mode(), Selector::Mode::Adjusting);
    QCOMPARE(h.selector.selection().rect(), QRect(50, 60, 70, 80));
    // A region no longer on any screen does not come back.
    Harness gone(OneScreen);
    gone.selector.setLastRegion(QRectF(2000, 60, 70, 80));
    gone.key(Qt::Key_R);
    QCOMPARE(gone.selector.mode(), Selector::Mode::Hovering);
    QVERIFY(gone.selector.selection().isEmpty());
}

// ---------------------------------------------------------------- portal
#ifdef LUMARO_PORTAL

// A stand-in for org.freedesktop.portal.Desktop: answers Screenshot as told.
class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    QDBusConnection bus{ QString() };
    uint response = 0;
    QString file;
    QImage picture; // written to `file` when asked, as a portal does; none: the file is left as it is
    bool silent = false;
    QVariantMap options;

public slots:
    QDBusObjectPath Screenshot(const QString &, const QVariantMap &options, const QDBusMessage &message)
    {
        this->options = options;
        QString sender = message.service().mid(1);
        sender.replace(u'.', u'_');
        const QString path = u"/org/freedesktop/portal/desktop/request/%1/%2"_s.arg(sender, options.value(u"handle_token"_s).toString());
        if (!picture.isNull())
            picture.save(file);
        if (!silent)
            QTimer::singleShot(20, this, [this, path] {
                QDBusMessage signal = QDBusMessage::createSignal(path, u"org.freedesktop.portal.Request"_s, u"Response"_s);
                signal << response << QVariantMap{ { u"uri"_s, QUrl::fromLocalFile(file).toString() } };
                bus.send(signal);
            });
        return QDBusObjectPath(path);
    }
};

bool TestCapture::startBus()
{
    if (!m_busAddress.isEmpty())
        return true;
    const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
    if (daemon.isEmpty())
        return false;
    // A bus of its own, with no services to start on demand: the real portal,
    // where installed, must not answer in the stand-in's place.
    static QTemporaryDir dir;
    const QString config = dir.filePath(u"bus.conf"_s);
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
               "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
               "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
    file.close();
    m_bus.start(daemon, { u"--config-file="_s + config, u"--nofork"_s, u"--print-address=1"_s });
    if (!m_bus.waitForReadyRead(5000))
        return false;
    m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
    return !m_busAddress.isEmpty();
}

void TestCapture::portal_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("error"); // empty: the picture comes through
    QTest::addColumn<bool>("removed");  // the portal's file is gone afterwards
    QTest::newRow("a new file in a temporary place") << u"temporary"_s << QString() << true;
    QTest::newRow("a new file among the user's pictures") << u"home"_s << QString() << true;
    QTest::newRow("the user's own picture, written over") << u"rewritten"_s << QString() << false;
    QTest::newRow("the portal's fixed file in a temporary place, written over")
        << u"temporary-rewritten"_s << QString() << true;
    QTest::newRow("the user refused") << u"refused"_s << u"截图请求被拒绝"_s << false;
    QTest::newRow("no portal on the bus") << u"missing"_s << u"xdg-desktop-portal"_s << false;
    QTest::newRow("the portal never answers") << u"silent"_s << u"没有回应"_s << false;
    QTest::newRow("an old file") << u"stale"_s << u"旧的截图"_s << false;
}

void TestCapture::portal()
{
    QFETCH(QString, situation);
    QFETCH(QString, error);
    QFETCH(bool, removed);
    if (!startBus())
        QSKIP("dbus-daemon is not installed (bash scripts/deps.sh --test)");
    QDBusConnection client = QDBusConnection::connectToBus(m_busAddress, u"client-"_s + situation);
    QDBusConnection service = QDBusConnection::connectToBus(m_busAddress, u"portal-"_s + situation);
    QVERIFY(client.isConnected() && service.isConnected());
    FakePortal portal;
    portal.bus = service;
    if (situation != u"missing") {
        QVERIFY(service.registerObject(u"/org/freedesktop/portal/desktop"_s, &portal, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(u"org.freedesktop.portal.Desktop"_s));
    }
    const auto cleanup = qScopeGuard([&] {
        service.unregisterService(u"org.freedesktop.portal.Desktop"_s);
        service.unregisterObject(u"/org/freedesktop/portal/desktop"_s);
    });

    // The whole desktop, two screens side by side, as the portal writes it
    // when asked: into a temporary folder, or among the user's pictures.
    QTemporaryDir temporary;
    QTemporaryDir home(QDir::homePath() + u"/.lumaro-portal-XXXXXX"_s);
    QVERIFY(temporary.isValid() && home.isValid());
    if (!situation.startsWith(u"temporary") && isTemporaryPlace(home.path() + u"/x"_s))
        QSKIP("the home folder is a temporary place here");
    const QImage whole = tagged(3, 300, 100);
    portal.file = (situation.startsWith(u"temporary") ? temporary.path() : home.path()) + u"/Screenshot.png"_s;
    portal.picture = whole;
    portal.response = situation == u"refused" ? 1 : 0;
    portal.silent = situation == u"silent";
    if (situation == u"stale" || situation.endsWith(u"rewritten")) {
        // The user's picture, there well before the request.
        QVERIFY(tagged(1, 300, 100).save(portal.file));
        if (!QFileInfo(portal.file).birthTime().isValid())
            QSKIP("this file system keeps no birth time");
        QFile old(portal.file);
        QVERIFY(old.open(QIODevice::ReadWrite));
        QVERIFY(old.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        old.close();
        QTest::qWait(1100); // born more than the second's slack ago
        if (situation == u"stale")
            portal.picture = QImage(); // handed back as it is
    }

    PortalGrab grab(client, 1500, 100000); // no waiting dialog in these
    const GrabResult r = grab.grabLayout({ QRect(0, 0, 100, 100), QRect(100, 0, 200, 100) });
    if (error.isEmpty() || situation == u"stale")
        QCOMPARE(!QFile::exists(portal.file), removed);
    if (!error.isEmpty()) {
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
        QVERIFY(r.screens.empty());
        return;
    }
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QCOMPARE(portal.options.value(u"interactive"_s).toBool(), false);
    QCOMPARE(int(r.screens.size()), 2);
    QCOMPARE(r.screens[0].image, whole.copy(0, 0, 100, 100));
    QCOMPARE(r.screens[1].image, whole.copy(100, 0, 200, 100));
}

void TestCapture::portalWaitCanBeCancelled()
{
    if (!startBus())
        QSKIP("dbus-daemon is not installed (bash scripts/deps.sh --test)");
    QDBusConnection client = QDBusConnection::connectToBus(m_busAddress, u"client-cancel"_s);
    QDBusConnection service = QDBusConnection::connectToBus(m_busAddress, u"portal-cancel"_s);
    FakePortal portal;
    portal.bus = service;
    portal.silent = true;
    QVERIFY(service.registerObject(u"/org/freedesktop/portal/desktop"_s, &portal, QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(u"org.freedesktop.portal.Desktop"_s));
    // The person gives up at the waiting dialog.
    QTimer::singleShot(400, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == u"PortalWait" && w->isVisible())
                w->findChild<QPushButton *>()->click();
    });
    PortalGrab grab(client, 10000, 50);
    const GrabResult r = grab.grabLayout({ QRect(0, 0, 100, 100) });
    QVERIFY(r.cancelled);
    QVERIFY(r.error.isEmpty());
    service.unregisterService(u"org.freedesktop.portal.Desktop"_s);
}

// ---------------------------------------------------------------- KWin

// A stand-in for KWin's org.kde.KWin.ScreenShot2: writes each screen's raw
// pixels into the pipe it is handed, in the format and order it is told.
class FakeKWin : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KWin.ScreenShot2")
public:
    QDBusConnection bus{ QString() };
    QImage::Format format = QImage::Format_ARGB32_Premultiplied;
    QString behaviour; // "after" the reply, "before" it, "refuse", "dead", "half"
    std::map<QString, std::pair<QRect, QImage>> screens; // by output name: place and pixels
    QStringList calls;
    QVariantMap options;

    ~FakeKWin() override
    {
        for (std::thread &t : m_writers)
            t.join();
    }

public slots:
    void CaptureScreen(const QString &name, const QVariantMap &options, const QDBusUnixFileDescriptor &pipe,
                       const QDBusMessage &message)
    {
        calls << u"screen "_s + name;
        this->options = options;
        message.setDelayedReply(true);
        if (!screens.count(name)) {
            bus.send(message.createErrorReply(u"org.kde.KWin.ScreenShot2.Error.InvalidScreen"_s, u"Invalid screen requested"_s));
            return;
        }
        answer(screens[name].second, pipe, message);
    }
    void CaptureArea(int x, int y, uint width, uint height, const QVariantMap &options,
                     const QDBusUnixFileDescriptor &pipe, const QDBusMessage &message)
    {
        calls << u"area %1,%2 %3x%4"_s.arg(x).arg(y).arg(width).arg(height);
        this->options = options;
        message.setDelayedReply(true);
        for (const auto &[name, screen] : screens)
            if (screen.first == QRect(x, y, int(width), int(height)))
                return answer(screen.second, pipe, message);
        bus.send(message.createErrorReply(u"org.kde.KWin.ScreenShot2.Error.InvalidArea"_s, u"Invalid area"_s));
    }

private:
    void answer(const QImage &picture, const QDBusUnixFileDescriptor &pipe, const QDBusMessage &message)
    {
        if (behaviour == u"refuse") {
            bus.send(message.createErrorReply(u"org.kde.KWin.ScreenShot2.Error.NoAuthorized"_s,
                                              u"The process is not authorized to take a screenshot"_s));
            return;
        }
        // Rows with padding after them, as a GPU's buffer may have.
        const QImage image = picture.convertToFormat(format);
        const qsizetype stride = image.bytesPerLine() + 16;
        QByteArray bytes(stride * image.height(), '\x7f');
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(bytes.data() + y * stride, image.constScanLine(y), size_t(image.bytesPerLine()));
        if (behaviour == u"half")
            bytes.truncate(bytes.size() / 2);
        else if (behaviour == u"dead")
            bytes.clear();
        const QDBusMessage reply = message.createReply(QVariantMap{
            { u"type"_s, u"raw"_s }, { u"width"_s, uint(image.width()) }, { u"height"_s, uint(image.height()) },
            { u"stride"_s, uint(stride) }, { u"format"_s, uint(image.format()) }, { u"scale"_s, 1.0 } });
        const bool before = behaviour == u"before";
        if (!before)
            bus.send(reply);
        // The pixels from a thread of their own, as KWin writes them: more
        // than a pipe holds, so they go only as fast as they are read.
        m_writers.emplace_back([fd = ::dup(pipe.fileDescriptor()), bytes, before, reply, bus = bus] {
            for (qsizetype done = 0; done < bytes.size();) {
                const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
                if (n <= 0)
                    break;
                done += n;
            }
            ::close(fd);
            if (before)
                bus.send(reply);
        });
    }
    std::vector<std::thread> m_writers;
};

void TestCapture::kwin_data()
{
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("firstName"); // the first screen's name as the program knows it
    QTest::addColumn<QString>("error");     // empty: the pictures come through
    const QString first = u"Virtual-0"_s;
    for (QImage::Format f : { QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB32, QImage::Format_ARGB32,
                              QImage::Format_RGBA8888_Premultiplied, QImage::Format_RGBX8888,
                              QImage::Format_A2RGB30_Premultiplied })
        QTest::addRow("pixels after the reply, format %d", int(f)) << u"after"_s << int(f) << first << QString();
    QTest::newRow("pixels before the reply (older KWin)")
        << u"before"_s << int(QImage::Format_ARGB32_Premultiplied) << first << QString();
    QTest::newRow("a screen name KWin does not know (XWayland): by its place")
        << u"after"_s << int(QImage::Format_RGB32) << u"XWAYLAND0"_s << QString();
    QTest::newRow("KWin refuses") << u"refuse"_s << int(QImage::Format_RGB32) << first << u"拒绝"_s;
    QTest::newRow("no KWin on the bus") << u"missing"_s << int(QImage::Format_RGB32) << first << u"没有截图接口"_s;
    QTest::newRow("the pipe closes at once") << u"dead"_s << int(QImage::Format_RGB32) << first << u"不完整"_s;
    QTest::newRow("the pipe closes halfway") << u"half"_s << int(QImage::Format_RGB32) << first << u"不完整"_s;
}

void TestCapture::kwin()
{
    QFETCH(QString, behaviour);
    QFETCH(int, format);
    QFETCH(QString, firstName);
    QFETCH(QString, error);
    if (!startBus())
        QSKIP("dbus-daemon is not installed (bash scripts/deps.sh --test)");
    std::signal(SIGPIPE, SIG_IGN); // the stand-in's writer, once the reader has given up
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    QDBusConnection client = QDBusConnection::connectToBus(m_busAddress, u"kwin-client-"_s + tag);
    QDBusConnection service = QDBusConnection::connectToBus(m_busAddress, u"kwin-"_s + tag);
    QVERIFY(client.isConnected() && service.isConnected());
    auto kwin = std::make_unique<FakeKWin>();
    kwin->bus = service;
    kwin->behaviour = behaviour;
    kwin->format = QImage::Format(format);
    // Two screens side by side, the second at twice the density: 400×200
    // pixels, more than a pipe holds at once.
    const QRect left(0, 0, 100, 100), right(100, 0, 200, 100);
    kwin->screens[u"Virtual-0"_s] = { left, tagged(0, 100, 100) };
    kwin->screens[u"Virtual-1"_s] = { right, tagged(1, 400, 200) };
    if (behaviour != u"missing") {
        QVERIFY(service.registerObject(u"/org/kde/KWin/ScreenShot2"_s, kwin.get(), QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(u"org.kde.KWin.ScreenShot2"_s));
    }
    const auto cleanup = qScopeGuard([&] {
        service.unregisterService(u"org.kde.KWin.ScreenShot2"_s);
        service.unregisterObject(u"/org/kde/KWin/ScreenShot2"_s);
    });

    KWinGrab grab(client, 5000);
    QCOMPARE(grab.usable(), behaviour != u"missing");
    const GrabResult r = grab.grabPlaces({ { firstName, left }, { u"Virtual-1"_s, right } });
    if (!error.isEmpty()) {
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
        QVERIFY(r.screens.empty());
        return;
    }
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QCOMPARE(kwin->options.value(u"native-resolution"_s).toBool(), true);
    QCOMPARE(kwin->options.value(u"include-cursor"_s, true).toBool(), false);
    const QStringList calls = firstName == u"Virtual-0"
        ? QStringList{ u"screen Virtual-0"_s, u"screen Virtual-1"_s }
        : QStringList{ u"screen XWAYLAND0"_s, u"area 0,0 100x100"_s, u"screen Virtual-1"_s };
    QCOMPARE(kwin->calls, calls);
    QCOMPARE(int(r.screens.size()), 2);
    QCOMPARE(r.screens[0].geometry, left);
    QCOMPARE(r.screens[0].image, tagged(0, 100, 100));
    QCOMPARE(r.screens[1].geometry, right);
    QCOMPARE(r.screens[1].image, tagged(1, 400, 200));
    QCOMPARE(r.screens[1].scale(), 2.0);
}

void TestCapture::cleanupTestCase()
{
    if (m_bus.state() != QProcess::NotRunning) {
        m_bus.terminate();
        m_bus.waitForFinished(5000);
    }
}

#endif // LUMARO_PORTAL

QTEST_MAIN(TestCapture)
#include "tst_capture.moc"
