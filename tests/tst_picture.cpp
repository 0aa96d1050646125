// Opening, scaling, capture, save and reset, through the handlers with fakes.

#include "fakes.h"

#include "window/AutoSizeLabel.h"
#include "window/CommandLine.h"
#include "window/Program.h"
#include "window/CaptureDisplay.h"
#include "window/PictureDisplay.h"
#include "common/ColorRef.h"
#include "window/RoundToEven.h"
#include "window/SharperDecode.h"
#include "window/SizeText.h"
#include "window/Twips.h"

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmapCache>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTextStream>
#include <QMutex>
#include <QPushButton>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <array>

using namespace Qt::StringLiterals;

namespace {

QImage solid(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

struct DisplayState
{
    bool imageshow, picture1, command5, command6;
    bool operator==(const DisplayState &) const = default;
};

DisplayState state(Fixture &f)
{
    return { !f->Imageshow->isHidden(), !f->Picture1->isHidden(), f->Command5->isEnabled(),
             f->Command6->isEnabled() };
}

// A big picture shown from a small decode, whose sharper decodes each wait
// until the test lets them finish. It must outlive the window it is shown in.
class HeldDecodes
{
public:
    HeldDecodes(QColor colour, bool fail = false)
        : m_colour(colour)
        , m_fail(fail)
    {
    }
    ~HeldDecodes()
    {
        for (QSemaphore &gate : m_gates)
            gate.release(1000);
        SharperDecode::pool()->waitForDone();
    }

    LoadedPicture picture()
    {
        return { solid(375, 250, m_colour), QSize(6000, 4000), [this](QSize wanted) {
                    qsizetype call;
                    {
                        QMutexLocker lock(&m_mutex);
                        call = m_asked.size();
                        m_asked << wanted;
                    }
                    // Bounded, so that a broken test cannot hang.
                    m_gates[std::min<qsizetype>(call, m_gates.size() - 1)].tryAcquire(1, 20000);
                    const QSize size = wanted.boundedTo(QSize(6000, 4000));
                    return m_fail ? QImage() : solid(size.width(), size.height(), m_colour);
                } };
    }
    // Lets the decode asked for in the given order (from 0) finish.
    void finish(int call) { m_gates[call].release(); }
    QList<QSize> asked()
    {
        QMutexLocker lock(&m_mutex);
        return m_asked;
    }

private:
    QColor m_colour;
    bool m_fail;
    QMutex m_mutex;
    QList<QSize> m_asked;
    std::array<QSemaphore, 8> m_gates;
};

// Waits until only `busy` decodes are still running, then delivers what the
// finished ones sent to the window, and repaints it.
void settle(Fixture &f, int busy)
{
    QTRY_COMPARE(SharperDecode::pool()->activeThreadCount(), busy);
    QCoreApplication::processEvents();
    f->Imageshow->repaint();
    QCoreApplication::processEvents();
}

void scaleTo(Fixture &f, const QString &percent)
{
    f->Text1->setText(percent);
    f->Text2->setText(percent);
    f->Command3_Click();
    f->Imageshow->repaint();
}

QColor shownColour(Fixture &f)
{
    return f->Imageshow->picture().image.pixelColor(10, 10);
}

constexpr DisplayState Composing{ true, false, true, false };
constexpr DisplayState Captured{ false, true, false, true };
constexpr DisplayState Saved{ false, true, true, false };

} // namespace

namespace QTest {
template <> char *toString(const DisplayState &s)
{
    return qstrdup(qPrintable(u"Imageshow %1, Picture1 %2, Command5 %3, Command6 %4"_s.arg(
        s.imageshow ? u"shown"_s : u"hidden"_s, s.picture1 ? u"shown"_s : u"hidden"_s,
        s.command5 ? u"on"_s : u"off"_s, s.command6 ? u"on"_s : u"off"_s)));
}
} // namespace QTest

class TestPicture : public QObject
{
    Q_OBJECT
private slots:
    // Scaling
    void scaling_data();
    void scaling();
    void percentagesReferToTheReferenceNotTheCurrentSize();
    void unshowableHeightEndsTheCommand();
    void repaintAfterScalingCachesOnlyWhatIsVisible();
    void scaledUpDisplayGetsASharperDecodeInTheBackground();
    void scalingTwiceDecodesEachSizeOnce();
    void anotherPicturesLateSharperCopyNeverShows_data();
    void anotherPicturesLateSharperCopyNeverShows();
    void failedSharperDecodeIsNotAskedForAgain();

    // Opening
    void cancelledOpenChangesNothing();
    void openedPictureTakesTheDisplaysRectangle();
    void changePictureIgnoresAFailureSilently();
    void openMenuSaysWhyAFileCannotBeOpened();
    void collapsedDimensionKeepsItsReference();
    void openingWhileCapturedChangesOnlyTheHiddenDisplay();

    // Capture, save, reset
    void captureSaveResetWalkTheStates();
    void cancelledCaptureChangesNothingAndIgnoresTheClipboard();
    void failedCaptureSaysSoAndChangesNothing();
    void emptyClipboardAfterCaptureChangesNothing();
    void cancelledSaveSaysPictureNotSaved();
    void failedSaveStaysCapturedSoTheUserCanRetry();
    void captureLargerThanTheWindowIsClippedNotScaled();

    // Pictures the desktop hands over: a file named at start, drops
    void commandLine_data();
    void commandLine();
    void drops_data();
    void drops();
    void dropOverATextBoxIsTheWindowsOnlyForAPicture();
    void dropWhileCapturedChangesOnlyTheHiddenDisplay();
    void dropWhileADialogWaitsIsRefused();
};

void TestPicture::scaling_data()
{
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<float>("w");
    QTest::addColumn<float>("h");
    QTest::newRow("100 x 100") << u"100"_s << u"100"_s << 3000.0f << 2880.0f;
    QTest::newRow("50 x 200") << u"50"_s << u"200"_s << 1500.0f << 5760.0f;
    QTest::newRow("2.5") << u"2.5"_s << u"100"_s << 75.0f << 2880.0f;
    QTest::newRow("1E3") << u"1E3"_s << u"100"_s << 30000.0f << 2880.0f;
    QTest::newRow("50%") << u"50%"_s << u"50%"_s << 1500.0f << 1440.0f;
    QTest::newRow("letters collapse to 0") << u"abc"_s << u""_s << 0.0f << 0.0f;
    QTest::newRow("999") << u"999"_s << u"999"_s << 29970.0f << 28771.2f;
    QTest::newRow("negative width kept") << u"-50"_s << u"50"_s << 3000.0f << 1440.0f;
    // A rejected height ends the command: the width is not touched either.
    QTest::newRow("negative height ends the command") << u"50"_s << u"-50"_s << 3000.0f << 2880.0f;
    QTest::newRow("height beyond the toolkit ends the command") << u"50"_s << u"1E9"_s << 3000.0f << 2880.0f;
    QTest::newRow("width beyond the toolkit kept") << u"9E9"_s << u"50"_s << 3000.0f << 1440.0f;
    QTest::newRow("hex") << u"&H3"_s << u"&O7"_s << 90.0f << 201.6f;
}

void TestPicture::scaling()
{
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(float, w);
    QFETCH(float, h);
    Fixture f;
    f->Text1->setText(width);
    f->Text2->setText(height);
    QTest::mouseClick(f->Command3, Qt::LeftButton);
    QCOMPARE(twips::width(f->Imageshow), w);
    QCOMPARE(twips::height(f->Imageshow), h);
    QCOMPARE(f->Imageshow->pos(), QPoint(240, 8)); // the corner stays
    QCOMPARE(f->BaseWidth, 3000);
    QCOMPARE(f->BaseHeight, 2880);
    QCOMPARE(f->LabelWidth->caption(), u"宽:3000"_s); // the read-out waits for the tick
}

void TestPicture::percentagesReferToTheReferenceNotTheCurrentSize()
{
    Fixture f;
    f->Text1->setText(u"50"_s);
    f->Text2->setText(u"50"_s);
    f->Command3_Click();
    f->Command3_Click();
    QCOMPARE(twips::width(f->Imageshow), 1500.0f);
    QCOMPARE(twips::height(f->Imageshow), 1440.0f);
    f->Text1->setText(u"x"_s);
    f->Command3_Click();
    QCOMPARE(twips::width(f->Imageshow), 0.0f);
    f->Text1->setText(u"100"_s);
    f->Text2->setText(u"100"_s);
    f->Command3_Click();
    QCOMPARE(twips::width(f->Imageshow), 3000.0f);
    QCOMPARE(twips::height(f->Imageshow), 2880.0f);
}

void TestPicture::unshowableHeightEndsTheCommand()
{
    Fixture f;
    f->BaseHeight = std::numeric_limits<qint32>::max();
    f->Text2->setText(u"999"_s);
    f->Text1->setText(u"10"_s);
    f->Command3_Click();
    QCOMPARE(twips::height(f->Imageshow), 2880.0f);
    QCOMPARE(twips::width(f->Imageshow), 3000.0f);
}

void TestPicture::repaintAfterScalingCachesOnlyWhatIsVisible()
{
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    f->Text1->setText(u"999"_s);
    f->Text2->setText(u"999"_s);
    f->Command3_Click();
    QCOMPARE(f->Imageshow->size(), QSize(1998, 1918));
    f->repaint();
    const QSize cache = f->Imageshow->cacheSize();
    QVERIFY2(cache.width() <= 565 - 240 && cache.height() <= 495 - 8,
             qPrintable(u"cache %1 x %2"_s.arg(cache.width()).arg(cache.height())));
    QVERIFY(!cache.isEmpty());
}

void TestPicture::scaledUpDisplayGetsASharperDecodeInTheBackground()
{
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QList<QSize> asked;
    QThread *decodedOn = nullptr;
    QMutex mutex;
    LoadedPicture big{ solid(375, 250, Qt::blue), QSize(6000, 4000), [&](QSize wanted) {
                    QMutexLocker lock(&mutex);
                    asked << wanted;
                    decodedOn = QThread::currentThread();
                    return solid(3000, 2000, Qt::blue);
                } };
    f->Imageshow->setPicture(big);
    f->repaint();
    QVERIFY(asked.isEmpty()); // 375 x 250 covers 200 x 192

    f->Text1->setText(u"999"_s);
    f->Text2->setText(u"999"_s);
    f->Command3_Click();
    f->repaint(); // paints the small copy stretched right away
    QCOMPARE(f->Imageshow->picture().image.size(), QSize(375, 250));
    QTRY_COMPARE(f->Imageshow->picture().image.size(), QSize(3000, 2000));
    QMutexLocker lock(&mutex);
    QCOMPARE(asked, QList<QSize>{ QSize(1998, 1918) });
    QVERIFY(decodedOn != QThread::currentThread());
}

void TestPicture::scalingTwiceDecodesEachSizeOnce()
{
    HeldDecodes decodes(Qt::green);
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    f->Imageshow->setPicture(decodes.picture());
    scaleTo(f, u"500"_s);
    QTRY_COMPARE(decodes.asked(), QList<QSize>{ QSize(1000, 960) });
    scaleTo(f, u"999"_s);
    QTRY_COMPARE(decodes.asked(), (QList<QSize>{ QSize(1000, 960), QSize(1998, 1918) }));

    // The smaller copy arrives while the larger one is on its way: it is
    // dropped, and the larger one is not asked for a second time.
    decodes.finish(0);
    settle(f, 1);
    QCOMPARE(decodes.asked().size(), 2);
    QCOMPARE(f->Imageshow->picture().image.size(), QSize(375, 250));

    decodes.finish(1);
    QTRY_COMPARE(f->Imageshow->picture().image.size(), QSize(1998, 1918));
    settle(f, 0);
    QCOMPARE(decodes.asked().size(), 2);
}

void TestPicture::anotherPicturesLateSharperCopyNeverShows_data()
{
    QTest::addColumn<bool>("oldFirst");
    QTest::newRow("old copy arrives first") << true;
    QTest::newRow("old copy arrives last") << false;
}

void TestPicture::anotherPicturesLateSharperCopyNeverShows()
{
    QFETCH(bool, oldFirst);
    HeldDecodes a(Qt::red), b(Qt::blue);
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    f->Imageshow->setPicture(a.picture());
    scaleTo(f, u"999"_s);
    QTRY_COMPARE(a.asked().size(), 1);
    // B opens while A's sharper copy, as large, is still being decoded.
    f->Imageshow->setPicture(b.picture());
    f->Imageshow->repaint();
    QTRY_COMPARE(b.asked().size(), 1);

    if (oldFirst) {
        a.finish(0);
        settle(f, 1);
        QCOMPARE(shownColour(f), QColor(Qt::blue));
        QCOMPARE(f->Imageshow->picture().image.size(), QSize(375, 250));
        b.finish(0);
    } else {
        b.finish(0);
        QTRY_COMPARE(f->Imageshow->picture().image.size(), QSize(1998, 1918));
        a.finish(0);
    }
    QTRY_COMPARE(f->Imageshow->picture().image.size(), QSize(1998, 1918));
    settle(f, 0);
    QCOMPARE(shownColour(f), QColor(Qt::blue));
    QCOMPARE(f->Imageshow->grab().toImage().pixelColor(100, 100), QColor(Qt::blue));
    QCOMPARE(a.asked().size(), 1);
    QCOMPARE(b.asked().size(), 1);
}

void TestPicture::failedSharperDecodeIsNotAskedForAgain()
{
    HeldDecodes decodes(Qt::green, true);
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    f->Imageshow->setPicture(decodes.picture());
    scaleTo(f, u"999"_s);
    QTRY_COMPARE(decodes.asked().size(), 1);
    decodes.finish(0);
    settle(f, 0);
    f->Imageshow->repaint();
    QCOMPARE(decodes.asked().size(), 1);
    QCOMPARE(f->Imageshow->picture().image.size(), QSize(375, 250));
    // A smaller display may still get a sharper copy.
    scaleTo(f, u"500"_s);
    QTRY_COMPARE(decodes.asked(), (QList<QSize>{ QSize(1998, 1918), QSize(1000, 960) }));
}

void TestPicture::cancelledOpenChangesNothing()
{
    for (bool menu : { true, false }) {
        Fixture f;
        const QImage before = f->Imageshow->picture().image;
        f.fakes.dialog.nextFileName.clear();
        menu ? f->FileOpen->trigger() : f->Command4->click();
        QCOMPARE(f.fakes.dialog.calls, QStringList{ u"open"_s });
        QVERIFY(f.fakes.loader.loaded.isEmpty());
        QCOMPARE(f->Imageshow->picture().image, before);
        QVERIFY(f.fakes.prompt.shown.isEmpty());
    }
}

void TestPicture::openedPictureTakesTheDisplaysRectangle()
{
    for (bool menu : { true, false }) {
        Fixture f;
        f->Text1->setText(u"50"_s);
        f->Text2->setText(u"50"_s);
        f->Command3_Click();
        const QString path = u"/pictures/照片.png"_s;
        f.fakes.loader.files.insert(path, solid(1200, 900, Qt::red));
        f.fakes.dialog.nextFileName = path;
        menu ? f->FileOpen_Click() : f->Command4_Click();

        QCOMPARE(f.fakes.loader.loaded, QStringList{ path });
        QCOMPARE(f.fakes.loader.lastDisplaySize, QSize(100, 96));
        QCOMPARE(f->Imageshow->picture().image.size(), QSize(1200, 900));
        QCOMPARE(f->Imageshow->size(), QSize(100, 96));
        QCOMPARE(f->BaseWidth, 1500);
        QCOMPARE(f->BaseHeight, 1440);
        // 100 % now means the halved size.
        f->Text1->setText(u"100"_s);
        f->Text2->setText(u"100"_s);
        f->Command3_Click();
        QCOMPARE(twips::width(f->Imageshow), 1500.0f);
        QCOMPARE(f->LabelWidth->caption(), u"宽:3000"_s); // the read-out waits for the tick
    }
}

void TestPicture::changePictureIgnoresAFailureSilently()
{
    Fixture f;
    const QImage before = f->Imageshow->picture().image;
    f.fakes.dialog.nextFileName = u"/notes/readme.txt"_s;
    f->Command4->click();
    QCOMPARE(f.fakes.loader.loaded.size(), 1);
    QVERIFY(f.fakes.prompt.shown.isEmpty());
    QCOMPARE(f->Imageshow->picture().image, before);
    QCOMPARE(f->BaseWidth, 3000);
}

void TestPicture::openMenuSaysWhyAFileCannotBeOpened()
{
    Fixture f;
    const QImage before = f->Imageshow->picture().image;
    f.fakes.dialog.nextFileName = u"/notes/说明.txt"_s;
    f->FileOpen->trigger();
    QCOMPARE(f.fakes.prompt.shown.size(), 1);
    const auto &box = f.fakes.prompt.shown.first();
    QVERIFY(box.prompt.contains(u"说明.txt"_s));
    QVERIFY(box.prompt.contains(u"not a picture"_s));
    QCOMPARE(box.title, u"Lumaro"_s);
    QCOMPARE(f->Imageshow->picture().image, before);
}

void TestPicture::collapsedDimensionKeepsItsReference()
{
    Fixture f;
    f->Text1->setText(u"0"_s);
    f->Command3_Click();
    QCOMPARE(twips::width(f->Imageshow), 0.0f);
    f.fakes.loader.files.insert(u"a.png"_s, solid(10, 10, Qt::blue));
    f.fakes.dialog.nextFileName = u"a.png"_s;
    f->Command4_Click();
    QCOMPARE(f->BaseWidth, 3000); // not 0
    QCOMPARE(f->BaseHeight, 2880);
    f->Text1->setText(u"100"_s);
    f->Command3_Click();
    QCOMPARE(twips::width(f->Imageshow), 3000.0f);
}

void TestPicture::openingWhileCapturedChangesOnlyTheHiddenDisplay()
{
    Fixture f;
    f.fakes.clipboard.picture = solid(50, 40, Qt::green);
    f->Command5_Click();
    QCOMPARE(state(f), Captured);
    f.fakes.loader.files.insert(u"b.png"_s, solid(10, 10, Qt::blue));
    f.fakes.dialog.nextFileName = u"b.png"_s;
    f->FileOpen_Click();
    QCOMPARE(state(f), Captured);
    QCOMPARE(f->Imageshow->picture().image.size(), QSize(10, 10));
    f->Command7_Click();
    QCOMPARE(state(f), Composing);
}

void TestPicture::captureSaveResetWalkTheStates()
{
    Fixture f;
    QCOMPARE(state(f), Composing);
    f.fakes.clipboard.picture = solid(300, 200, Qt::yellow);

    QTest::mouseClick(f->Command5, Qt::LeftButton);
    QCOMPARE(state(f), Captured);
    QVERIFY(f->Picture1->autoSize());
    QCOMPARE(f->Picture1->capture().size(), QSize(300, 200));
    QCOMPARE(f->Picture1->geometry(), QRect(264, 0, 304, 204)); // its corner, border included

    f.fakes.dialog.nextFileName = u"/out/截图.bmp"_s;
    QTest::mouseClick(f->Command6, Qt::LeftButton);
    QCOMPARE(state(f), Saved);
    QCOMPARE(f.fakes.writer.written.size(), 1);
    QCOMPARE(f.fakes.writer.written.first().first, u"/out/截图.bmp"_s);
    QCOMPARE(f.fakes.writer.written.first().second.size(), QSize(300, 200));

    // Saved -> Captured: a new capture replaces the old one.
    f.fakes.clipboard.picture = solid(20, 10, Qt::cyan);
    f->Command5_Click();
    QCOMPARE(state(f), Captured);
    QCOMPARE(f->Picture1->capture().size(), QSize(20, 10));

    QTest::mouseClick(f->Command7, Qt::LeftButton);
    QCOMPARE(state(f), Composing);
    QCOMPARE(f->Picture1->capture().size(), QSize(20, 10)); // kept, not cleared
    f->Command7_Click();
    QCOMPARE(state(f), Composing);
    QCOMPARE(f.fakes.capture.calls, 2);
}

void TestPicture::cancelledCaptureChangesNothingAndIgnoresTheClipboard()
{
    Fixture f;
    f.fakes.clipboard.picture = solid(30, 30, Qt::magenta); // something from before
    f.fakes.capture.next = { CaptureStatus::Cancelled, {} };
    f->Command5_Click();
    QCOMPARE(state(f), Composing);
    QVERIFY(f->Picture1->capture().isNull());
    QVERIFY(f.fakes.prompt.shown.isEmpty());
}

void TestPicture::failedCaptureSaysSoAndChangesNothing()
{
    Fixture f;
    f.fakes.clipboard.picture = solid(30, 30, Qt::magenta);
    f.fakes.capture.next = { CaptureStatus::Failed, u"无法加载截图组件"_s };
    f->Command5_Click();
    QCOMPARE(state(f), Composing);
    QVERIFY(f->Picture1->capture().isNull());
    QCOMPARE(f.fakes.prompt.shown.size(), 1);
    QVERIFY(f.fakes.prompt.shown.first().prompt.contains(u"无法加载截图组件"_s));
    QCOMPARE(f.fakes.prompt.shown.first().title, u"Lumaro"_s);
}

void TestPicture::emptyClipboardAfterCaptureChangesNothing()
{
    Fixture f;
    f->Command5_Click();
    QCOMPARE(state(f), Composing);
    QCOMPARE(f.fakes.prompt.shown.size(), 1);
}

void TestPicture::cancelledSaveSaysPictureNotSaved()
{
    Fixture f;
    f.fakes.clipboard.picture = solid(30, 30, Qt::gray);
    f->Command5_Click();
    f.fakes.dialog.nextFileName.clear();
    f->Command6_Click();
    QCOMPARE(state(f), Captured);
    QVERIFY(f.fakes.writer.written.isEmpty());
    QCOMPARE(f.fakes.prompt.shown.size(), 1);
    const auto &box = f.fakes.prompt.shown.first();
    QCOMPARE(box.prompt, u"图片未保存"_s);
    QCOMPARE(box.title, u"Lumaro"_s);
    QCOMPARE(box.icon, MsgIcon::Information);
    QCOMPARE(box.buttons, MsgButtons::Ok);
}

void TestPicture::failedSaveStaysCapturedSoTheUserCanRetry()
{
    Fixture f;
    f.fakes.clipboard.picture = solid(30, 30, Qt::gray);
    f->Command5_Click();
    f.fakes.writer.succeed = false;
    f.fakes.dialog.nextFileName = u"/full/disk.png"_s;
    f->Command6_Click();
    QCOMPARE(state(f), Captured);
    QCOMPARE(f.fakes.prompt.shown.size(), 1);
    QVERIFY(f.fakes.prompt.shown.first().prompt.contains(u"disk.png"_s));
    QVERIFY(f.fakes.prompt.shown.first().prompt.contains(u"disk full"_s));
    f.fakes.writer.succeed = true;
    f->Command6_Click();
    QCOMPARE(state(f), Saved);
}

void TestPicture::captureLargerThanTheWindowIsClippedNotScaled()
{
    Fixture f;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    f.fakes.clipboard.picture = solid(1920, 1080, Qt::darkRed);
    f->Command5_Click();
    QCOMPARE(f->Picture1->size(), QSize(1924, 1084));
    QCOMPARE(f->centralWidget()->size(), QSize(565, 495));
    const QImage shown = f->centralWidget()->grab().toImage();
    QCOMPARE(shown.pixelColor(560, 490), QColor(Qt::darkRed));
}

// ---- Pictures the desktop hands over

void TestPicture::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("answer");         // exit status without a window; -1: the window starts
    QTest::addColumn<QStringList>("loaded"); // what the window then opens
    QTest::addColumn<bool>("told");          // a message says the file cannot be opened
    const QString good = u"/pictures/照片.png"_s, other = u"/pictures/other.png"_s;
    QTest::newRow("none") << QStringList{} << -1 << QStringList{} << false;
    QTest::newRow("one good file") << QStringList{ good } << -1 << QStringList{ good } << false;
    QTest::newRow("one bad file") << QStringList{ u"/notes/说明.txt"_s } << -1
                                  << QStringList{ u"/notes/说明.txt"_s } << true;
    QTest::newRow("two files: the second is ignored") << QStringList{ good, other } << -1 << QStringList{ good }
                                                       << false;
    QTest::newRow("a file: URL") << QStringList{ u"file:///pictures/%E7%85%A7%E7%89%87.png"_s } << -1
                                 << QStringList{ good } << false;
    QTest::newRow("-- then a name with a dash") << QStringList{ u"--"_s, u"-x.png"_s } << -1
                                                << QStringList{ u"-x.png"_s } << true;
    QTest::newRow("--help") << QStringList{ u"--help"_s } << 0 << QStringList{} << false;
    QTest::newRow("-h after a file") << QStringList{ good, u"-h"_s } << 0 << QStringList{} << false;
    QTest::newRow("--version") << QStringList{ u"--version"_s } << 0 << QStringList{} << false;
    QTest::newRow("unknown option") << QStringList{ u"--frobnicate"_s, good } << 2 << QStringList{} << false;
}

void TestPicture::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, answer);
    QFETCH(QStringList, loaded);
    QFETCH(bool, told);
    const CommandLine line = readCommandLine(arguments);
    if (answer >= 0) {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(answerCommandLine(line, outStream, errStream), answer);
        const QString &said = answer == 0 ? out : err;
        QVERIFY(answer == 0 ? err.isEmpty() : out.isEmpty());
        // Chinese and English, both.
        QVERIFY2(said.contains(QRegularExpression(u"[\\x{4e00}-\\x{9fff}]"_s)), qPrintable(said));
        QVERIFY2(said.contains(QRegularExpression(u"\\b(Usage|picture|unknown option)\\b"_s)), qPrintable(said));
        if (line.ask == CommandLine::Ask::Unknown)
            QVERIFY(said.contains(u"--frobnicate"_s));
        return;
    }
    QCOMPARE(line.ask, CommandLine::Ask::Window);

    Fixture f;
    const QImage before = f->Imageshow->picture().image;
    f.fakes.loader.files.insert(u"/pictures/照片.png"_s, solid(1200, 900, Qt::red));
    f.fakes.loader.files.insert(u"/pictures/other.png"_s, solid(30, 20, Qt::blue));
    // The start's paint may use the pixmap cache; nothing is kept after it.
    const int limit = QPixmapCache::cacheLimit();
    const auto restore = qScopeGuard([limit] { QPixmapCache::setCacheLimit(limit); });
    QPixmapCache::setCacheLimit(10240);
    showAtStart(*f.form, line);
    // The window is up before the picture is opened, so a message has a window to stand over.
    QVERIFY(f->isVisible());
    QVERIFY(f.fakes.loader.loaded.isEmpty());
    QCoreApplication::processEvents();

    QCOMPARE(f.fakes.loader.loaded, loaded);
    QVERIFY(f.fakes.dialog.calls.isEmpty());
    QCOMPARE(f.fakes.prompt.shown.size(), told ? 1 : 0);
    if (told) {
        QVERIFY(f.fakes.prompt.shown.first().prompt.contains(QDir::toNativeSeparators(loaded.first())));
        QVERIFY(f.fakes.prompt.shown.first().prompt.contains(u"not a picture"_s));
    }
    const bool opened = !loaded.isEmpty() && !told;
    QCOMPARE(f->Imageshow->picture().image.size(), opened ? QSize(1200, 900) : before.size());
    QCOMPARE(f->Imageshow->size(), QSize(200, 192));
    QCOMPARE(f->BaseWidth, 3000);
    QCOMPARE(f->BaseHeight, 2880);
    f->repaint();
    QCoreApplication::processEvents();
    QCOMPARE(QPixmapCache::cacheLimit(), 0);
}

namespace {

// The mime data of a drag, from a short description: "file:PATH" (a file
// URL), "url:ADDRESS", "text:TEXT" or "TYPE=BYTES".
QMimeData *dragged(const QStringList &parts)
{
    auto *mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString &part : parts) {
        if (part.startsWith(u"file:"_s))
            urls << QUrl::fromLocalFile(part.mid(5));
        else if (part.startsWith(u"url:"_s))
            urls << QUrl(part.mid(4));
        else if (part.startsWith(u"text:"_s))
            mime->setText(part.mid(5));
        else
            mime->setData(part.section(u'=', 0, 0), part.section(u'=', 1).toLatin1());
    }
    if (!urls.isEmpty())
        mime->setUrls(urls);
    return mime;
}

// Drags `mime` over `target` and, if it is welcome there, drops it. Returns
// whether the pointer showed it welcome; the drop's action goes to `action`.
bool dragAndDrop(QWidget *target, const QMimeData *mime, Qt::DropActions possible, Qt::DropAction *action,
                 Qt::KeyboardModifiers keys = Qt::NoModifier)
{
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), possible, mime, Qt::LeftButton, keys);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at.toPoint() + QPoint(1, 1), possible, mime, Qt::LeftButton, keys);
    move.setAccepted(enter.isAccepted()); // as the window system carries it on
    QApplication::sendEvent(target, &move);
    if (!enter.isAccepted() || !move.isAccepted())
        return false;
    QDropEvent drop(at, possible, mime, Qt::LeftButton, keys);
    QApplication::sendEvent(target, &drop);
    *action = drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    QCoreApplication::processEvents(); // the picture opens once the drop is over
    return true;
}

} // namespace

void TestPicture::drops_data()
{
    QTest::addColumn<QStringList>("drag");
    QTest::addColumn<int>("possible"); // Qt::DropActions; with Shift held, a move is proposed
    QTest::addColumn<bool>("welcome");
    QTest::addColumn<QStringList>("loaded");
    QTest::addColumn<QString>("told"); // what the message names; empty: no message
    const int copy = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QTest::newRow("picture file") << QStringList{ u"file:/pictures/a.png"_s } << copy << true
                                  << QStringList{ u"/pictures/a.png"_s } << QString();
    QTest::newRow("two files: the first counts") << QStringList{ u"file:/pictures/a.png"_s, u"file:/pictures/b.png"_s }
                                                 << copy << true << QStringList{ u"/pictures/a.png"_s } << QString();
    QTest::newRow("file that looks like a picture but is not")
        << QStringList{ u"file:/pictures/damaged.png"_s } << copy << true
        << QStringList{ u"/pictures/damaged.png"_s } << u"/pictures/damaged.png"_s;
    QTest::newRow("text file") << QStringList{ u"file:/notes/readme.txt"_s } << copy << false << QStringList{}
                               << QString();
    QTest::newRow("picture data") << QStringList{ u"image/png=PNGDATA"_s } << copy << true
                                  << QStringList{ u"data:PNGDATA"_s } << QString();
    QTest::newRow("damaged picture data from the web")
        << QStringList{ u"url:https://pictures.example/cat.png"_s, u"image/png=<html>"_s } << copy << true
        << QStringList{ u"data:<html>"_s } << u"https://pictures.example/cat.png"_s;
    QTest::newRow("picture data of a type not read") << QStringList{ u"image/webp=RIFF"_s } << copy << false
                                                     << QStringList{} << QString();
    QTest::newRow("a file and its data: the file") << QStringList{ u"file:/pictures/a.png"_s, u"image/png=PNGDATA"_s }
                                                   << copy << true << QStringList{ u"/pictures/a.png"_s } << QString();
    QTest::newRow("text") << QStringList{ u"text:a caption"_s } << copy << false << QStringList{} << QString();
    QTest::newRow("a web address only") << QStringList{ u"url:https://pictures.example/cat.png"_s } << copy << false
                                        << QStringList{} << QString();
    QTest::newRow("a picture proposed to be moved (Shift)") << QStringList{ u"file:/pictures/a.png"_s }
                                                            << (copy | int(Qt::ShiftModifier)) << true
                                                            << QStringList{ u"/pictures/a.png"_s } << QString();
    QTest::newRow("a picture that may only be moved") << QStringList{ u"file:/pictures/a.png"_s }
                                                      << int(Qt::MoveAction) << false << QStringList{} << QString();
}

void TestPicture::drops()
{
    QFETCH(QStringList, drag);
    QFETCH(int, possible);
    QFETCH(bool, welcome);
    QFETCH(QStringList, loaded);
    QFETCH(QString, told);
    Fixture f;
    f.fakes.loader.files.insert(u"/pictures/a.png"_s, solid(640, 480, Qt::red));
    f.fakes.loader.files.insert(u"/pictures/b.png"_s, solid(30, 20, Qt::blue));
    f.fakes.loader.data.insert("PNGDATA", solid(800, 600, Qt::green));
    f.fakes.loader.lookLikePictures << u"/pictures/damaged.png"_s;
    f->Text1->setText(u"50"_s);
    f->Text2->setText(u"100"_s);
    f->Command3_Click(); // the display at half its width: the picture takes that rectangle
    const QImage before = f->Imageshow->picture().image;
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));

    std::unique_ptr<QMimeData> mime(dragged(drag));
    Qt::DropAction action = Qt::IgnoreAction;
    const auto keys = Qt::KeyboardModifiers(possible & Qt::KeyboardModifierMask);
    const auto actions = Qt::DropActions(possible & ~Qt::KeyboardModifierMask);
    QCOMPARE(dragAndDrop(f.form.get(), mime.get(), actions, &action, keys), welcome);
    if (!welcome) {
        // Dropped all the same (no window system would), it still opens nothing.
        QDropEvent drop(QPointF(10, 10), actions, mime.get(), Qt::LeftButton, keys);
        QApplication::sendEvent(f.form.get(), &drop);
        QVERIFY(!drop.isAccepted());
        QCoreApplication::processEvents();
    } else {
        QCOMPARE(action, Qt::CopyAction); // what was dragged stays where it was
    }
    QCOMPARE(f.fakes.loader.loaded, loaded);
    QCOMPARE(f.fakes.prompt.shown.size(), told.isEmpty() ? 0 : 1);
    // A file is named as the system writes paths (C:\…), a web address as it is.
    const QString named = told.contains(u"://"_s) ? told : QDir::toNativeSeparators(told);
    if (!told.isEmpty())
        QVERIFY2(f.fakes.prompt.shown.first().prompt.contains(u"“%1”"_s.arg(named)),
                 qPrintable(f.fakes.prompt.shown.first().prompt));
    const bool opened = !loaded.isEmpty() && told.isEmpty();
    QCOMPARE(f->Imageshow->picture().image == before, !opened);
    QCOMPARE(f.fakes.loader.lastDisplaySize, loaded.isEmpty() ? QSize() : QSize(100, 192));
    QCOMPARE(f->BaseWidth, opened ? 1500 : 3000);
    QVERIFY(f.fakes.dialog.calls.isEmpty());
}

void TestPicture::dropOverATextBoxIsTheWindowsOnlyForAPicture()
{
    Fixture f;
    f.fakes.loader.files.insert(u"/pictures/a.png"_s, solid(640, 480, Qt::red));
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    Qt::DropAction action = Qt::IgnoreAction;

    // A picture file whose drag also carries its path as text.
    std::unique_ptr<QMimeData> picture(dragged({ u"file:/pictures/a.png"_s, u"text:/pictures/a.png"_s }));
    QVERIFY(dragAndDrop(f->LabelText, picture.get(), Qt::CopyAction, &action));
    QCOMPARE(f.fakes.loader.loaded, QStringList{ u"/pictures/a.png"_s });
    QCOMPARE(f->Imageshow->picture().image.size(), QSize(640, 480));
    QVERIFY(f->LabelText->text().isEmpty());

    // Text stays the text box's, as in any text box.
    std::unique_ptr<QMimeData> text(dragged({ u"text:一行字"_s }));
    QVERIFY(dragAndDrop(f->LabelText, text.get(), Qt::CopyAction, &action));
    QCOMPARE(f->LabelText->text(), u"一行字"_s);
    QCOMPARE(f.fakes.loader.loaded.size(), 1);
}

void TestPicture::dropWhileCapturedChangesOnlyTheHiddenDisplay()
{
    Fixture f;
    f.fakes.clipboard.picture = solid(50, 40, Qt::green);
    f->Command5_Click();
    QCOMPARE(state(f), Captured);
    f.fakes.loader.data.insert("PNGDATA", solid(10, 10, Qt::blue));
    std::unique_ptr<QMimeData> mime(dragged({ u"image/png=PNGDATA"_s }));
    Qt::DropAction action = Qt::IgnoreAction;
    QVERIFY(dragAndDrop(f.form.get(), mime.get(), Qt::CopyAction, &action));
    QCOMPARE(state(f), Captured);
    QCOMPARE(f->Picture1->capture().size(), QSize(50, 40));
    QCOMPARE(f->Imageshow->picture().image.size(), QSize(10, 10));
    f->Command7_Click();
    QCOMPARE(state(f), Composing);
}

void TestPicture::dropWhileADialogWaitsIsRefused()
{
    Fixture f;
    f.fakes.loader.files.insert(u"/pictures/a.png"_s, solid(640, 480, Qt::red));
    f->show();
    QDialog message(f.form.get());
    message.setModal(true);
    message.show();
    std::unique_ptr<QMimeData> mime(dragged({ u"file:/pictures/a.png"_s }));
    Qt::DropAction action = Qt::IgnoreAction;
    QVERIFY(!dragAndDrop(f.form.get(), mime.get(), Qt::CopyAction, &action));
    message.hide();
    QVERIFY(dragAndDrop(f.form.get(), mime.get(), Qt::CopyAction, &action));
    QCOMPARE(f.fakes.loader.loaded, QStringList{ u"/pictures/a.png"_s });
}

LUMARO_TEST_MAIN(TestPicture)
#include "tst_picture.moc"
