// The backends without a desktop: cutting a portal's picture into screens,
// the pointer's trail in the window system's pixels, and the portal and
// KWin backends against a stand-in portal and a stand-in KWin on a private
// bus.

#include "DesktopPicture.h"
#include "PointerTrail.h"
#ifdef Q_OS_LINUX
#include "Pages.h"
#endif
#ifdef LUMARO_PORTAL
#include "KWinGrab.h"
#include "PortalDialog.h"
#include "PortalGrab.h"
#endif

#include "capture_fixtures.h"

#include <QApplication>
#ifdef LUMARO_PORTAL
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#endif
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
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
using namespace lumaro::capture::testing;

class TestGrab : public QObject
{
    Q_OBJECT
private slots:
    void splitDesktopPicture_data();
    void splitDesktopPicture();
    void pointerTrail_data();
    void pointerTrail();
#ifdef Q_OS_LINUX
    void picturesOnLargePages_data();
    void picturesOnLargePages();
#endif

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

#ifdef Q_OS_LINUX
// The screen's copy in memory of its own is laid out as any QImage of its
// size and format, and holds every pixel written to it.
void TestGrab::picturesOnLargePages_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("a screen") << QSize(1920, 1080) << QImage::Format_RGB32;
    QTest::newRow("lines padded to 4 bytes") << QSize(1001, 2100) << QImage::Format_RGB888;
    QTest::newRow("not a whole number of large pages") << QSize(3, 1000001) << QImage::Format_ARGB32;
    QTest::newRow("smaller than one large page") << QSize(100, 100) << QImage::Format_RGB32;
    QTest::newRow("empty") << QSize(0, 1080) << QImage::Format_RGB32;
}

void TestGrab::picturesOnLargePages()
{
    QFETCH(QSize, size);
    QFETCH(QImage::Format, format);
    const QImage plain(size, format);
    QImage large = imageOnLargePages(size, format);
    QCOMPARE(large.size(), plain.size());
    QCOMPARE(large.isNull(), plain.isNull());
    if (plain.isNull())
        return;
    QCOMPARE(large.format(), format);
    QCOMPARE(large.bytesPerLine(), plain.bytesPerLine());
    QImage expected = plain;
    for (QImage *image : { &large, &expected })
        for (int y = 0; y < size.height(); ++y) {
            uchar *line = image->scanLine(y);
            for (qsizetype x = 0; x < image->bytesPerLine(); ++x)
                line[x] = uchar(x * 7 + y * 13);
        }
    QCOMPARE(large, expected);
}
#endif

void TestGrab::splitDesktopPicture_data()
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

void TestGrab::splitDesktopPicture()
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

// Pointer events as the X server sends them (x only, at 150 %), then the
// places Qt delivers, rounded to whole logical pixels.
void TestGrab::pointerTrail_data()
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

void TestGrab::pointerTrail()
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

bool TestGrab::startBus()
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

void TestGrab::portal_data()
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

void TestGrab::portal()
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

void TestGrab::portalWaitCanBeCancelled()
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
    PortalGrab grab(client, 10000, 50, &portalWaitDialog);
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

void TestGrab::kwin_data()
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

void TestGrab::kwin()
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

void TestGrab::cleanupTestCase()
{
    if (m_bus.state() != QProcess::NotRunning) {
        m_bus.terminate();
        m_bus.waitForFinished(5000);
    }
}

#endif // LUMARO_PORTAL

QTEST_MAIN(TestGrab)
#include "tst_grab.moc"
