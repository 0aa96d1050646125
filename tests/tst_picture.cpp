// Opening, scaling, capture, save and reset, through the handlers with fakes.

#include "fakes.h"

#include "window/AutoSizeLabel.h"
#include "window/CaptureDisplay.h"
#include "window/PictureDisplay.h"
#include "common/ColorRef.h"
#include "window/RoundToEven.h"
#include "window/SharperDecode.h"
#include "window/SizeText.h"
#include "window/Twips.h"

#include <QLineEdit>
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

LUMARO_TEST_MAIN(TestPicture)
#include "tst_picture.moc"
