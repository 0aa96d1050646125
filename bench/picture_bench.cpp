// Measurements of the picture path, each reported as a median:
//   bench_picture repaint   repaint after scaling to 999 % (default and 6000x4000 picture)
//   bench_picture open      opening a 6000x4000 JPEG until the display is painted,
//                           against Qt's own reader decoding it at 200x192
//   bench_picture capture   pressing "截取屏幕" until the selector is on screen
//   bench_picture save      saving a 3840x2160 capture as BMP, against dd conv=fsync
//   bench_picture window    the whole window painted, with no pixmap cache (as the
//                           program runs) against Qt's default cache of 10 MiB
// Run under a display (bench/run.sh starts Xvfb at 1920x1080).

#include "platform/FreeMemory.h"
#include "platform/QtPlatform.h"
#include "window/Form1.h"
#include "window/Program.h"
#include "window/PictureDisplay.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPixmapCache>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;
using namespace lumaro;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double msSince(const QElapsedTimer &t) { return t.nsecsElapsed() / 1e6; }

long statusKiB(const char *field)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Resets the peak resident set to the current one (Linux 4.0 and later).
void resetPeak()
{
    QFile f(u"/proc/self/clear_refs"_s);
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// A dialog that answers with a fixed file name.
struct ScriptedDialog : CommonDialog
{
    QString answer;
    QString open(const DialogSettings &) override { return answer; }
    QString save(const DialogSettings &) override { return answer; }
    std::optional<std::uint32_t> color(std::uint32_t) override { return std::nullopt; }
};

struct Bench
{
    QtPlatform qt;
    ScriptedDialog dialog;
    Platform platform{ dialog, qt.loader, qt.writer, qt.clipboard, qt.prompt, qt.web, qt.capture };
    Form1 form{ platform };

    Bench()
    {
        form.centreOnScreen();
        form.show();
        form.activateWindow();
        settle();
    }
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
};

QString bigJpeg(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(u"photo-6000x4000.jpg"_s);
    if (QFile::exists(path))
        return path;
    QImage img(6000, 4000, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            line[x] = qRgb((x * 255) / 6000, (y * 255) / 4000, ((x ^ y) & 0x3f) + 100);
    }
    img.save(path, "JPEG", 90);
    return path;
}

void benchRepaint(const QTemporaryDir &dir, int runs)
{
    for (bool big : { false, true }) {
        Bench b;
        if (big) {
            b.dialog.answer = bigJpeg(dir);
            b.form.FileOpen_Click();
            b.form.repaint();
        }
        std::vector<double> scaled, again;
        for (int i = 0; i < runs; ++i) {
            const QString pct = i % 2 ? u"999"_s : u"998"_s;
            b.form.Text1->setText(pct);
            b.form.Text2->setText(pct);
            QElapsedTimer t;
            t.start();
            b.form.Command3_Click();
            b.form.repaint();
            scaled.push_back(msSince(t));
            t.restart();
            b.form.repaint();
            again.push_back(msSince(t));
            // Let a background decode land between runs, as it would for a person.
            QThreadPool::globalInstance()->waitForDone();
            Bench::settle();
        }
        std::printf("repaint %-28s scale to 999 %% + repaint: median %.2f ms   repaint again: median %.2f ms   (%d runs)\n",
                    big ? "6000x4000 JPEG (opened)" : "default picture", median(scaled), median(again), runs);
    }
}

void benchOpen(const QTemporaryDir &dir, int runs)
{
    const QString path = bigJpeg(dir);
    Bench b;
    b.dialog.answer = path;
    std::vector<double> ours, reference, oursMem, refMem;
    for (int i = 0; i < runs + 1; ++i) {
        QThreadPool::globalInstance()->waitForDone();
        Bench::settle();
        long before = statusKiB("VmRSS:");
        resetPeak();
        QElapsedTimer t;
        t.start();
        b.form.FileOpen_Click();
        b.form.Imageshow->repaint();
        const double msOurs = msSince(t);
        const long peakOurs = statusKiB("VmHWM:") - before;

        before = statusKiB("VmRSS:");
        resetPeak();
        t.restart();
        QImageReader reader(path);
        reader.setScaledSize(QSize(200, 192));
        const QImage img = reader.read();
        const double msRef = msSince(t);
        const long peakRef = statusKiB("VmHWM:") - before;
        if (img.isNull())
            std::fprintf(stderr, "reference read failed\n");
        if (i == 0)
            continue; // warm-up
        ours.push_back(msOurs);
        reference.push_back(msRef);
        oursMem.push_back(peakOurs / 1024.0);
        refMem.push_back(peakRef / 1024.0);
    }
    // Peak memory growth, each in a fresh process so that nothing is reused.
    oursMem.clear();
    refMem.clear();
    for (int i = 0; i < 5; ++i)
        for (auto *which : { "ours", "qt" }) {
            QProcess p;
            p.start(QCoreApplication::applicationFilePath(), { u"open-mem"_s, QString::fromLatin1(which), path });
            p.waitForFinished();
            (which[0] == 'o' ? oursMem : refMem).push_back(p.readAllStandardOutput().trimmed().toDouble());
        }
    std::printf("open 6000x4000 JPEG until painted: median %.1f ms, peak memory growth %.1f MiB\n", median(ours),
                median(oursMem));
    std::printf("Qt reader at 200x192:              median %.1f ms, peak memory growth %.1f MiB\n",
                median(reference), median(refMem));
    std::printf("ratio: %.2fx   (%d runs)\n", median(ours) / median(reference), runs);
}

void benchCapture(int runs)
{
    Bench b;
    std::vector<double> ms;
    QElapsedTimer t;
    // Watches for the selector's first paint, then presses Esc on it.
    struct Watch : QObject
    {
        QElapsedTimer *t;
        std::vector<double> *ms;
        bool seen = false;
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (e->type() == QEvent::Paint && !seen && o->objectName() == u"SelectionOverlay"_s) {
                seen = true;
                auto *w = static_cast<QWidget *>(o);
                QTimer::singleShot(0, w, [this, w] {
                    ms->push_back(t->nsecsElapsed() / 1e6);
                    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                    QApplication::sendEvent(w, &esc);
                });
            }
            return false;
        }
    } watch;
    watch.t = &t;
    watch.ms = &ms;
    qApp->installEventFilter(&watch);
    for (int i = 0; i < runs + 1; ++i) {
        watch.seen = false;
        Bench::settle();
        t.start();
        b.form.Command5->click(); // returns once the selector is cancelled
        if (i == 0)
            ms.clear(); // the first call also loads the library
    }
    const QSize screen = QGuiApplication::primaryScreen()->size();
    std::printf("capture: press to selector on screen (%dx%d): median %.1f ms   (%d runs)\n", screen.width(),
                screen.height(), median(ms), runs);
}

void benchSave(const QTemporaryDir &dir, int runs)
{
    QImage capture(3840, 2160, QImage::Format_RGB32);
    for (int y = 0; y < capture.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(capture.scanLine(y));
        for (int x = 0; x < capture.width(); ++x)
            line[x] = qRgb(x & 0xff, y & 0xff, (x + y) & 0xff);
    }
    QtPictureWriter writer;
    const QString path = dir.filePath(u"capture.bmp"_s);
    const QString ddPath = dir.filePath(u"dd.bin"_s);
    std::vector<double> ours, dd;
    qint64 bytes = 0;
    for (int i = 0; i < runs + 1; ++i) {
        QFile::remove(path);
        QElapsedTimer t;
        t.start();
        QString error;
        if (!writer.write(capture, path, &error))
            std::fprintf(stderr, "save failed: %s\n", qPrintable(error));
        const double msOurs = msSince(t);
        bytes = QFileInfo(path).size();

        QFile::remove(ddPath);
        QProcess proc;
        t.restart();
        proc.start(u"dd"_s, { u"if=/dev/zero"_s, u"of="_s + ddPath, u"bs="_s + QString::number(bytes),
                              u"count=1"_s, u"conv=fsync"_s, u"status=none"_s });
        proc.waitForFinished();
        const double msDd = msSince(t);
        if (i == 0)
            continue;
        ours.push_back(msOurs);
        dd.push_back(msDd);
    }
    std::printf("save 3840x2160 as BMP (%lld bytes): median %.1f ms\n", bytes, median(ours));
    std::printf("dd conv=fsync of the same bytes:      median %.1f ms\n", median(dd));
    std::printf("ratio: %.2fx   (%d runs)\n", median(ours) / median(dd), runs);
}

// One opening in a fresh process; prints the peak memory growth in MiB.
int openMemory(bool ours, const QString &path)
{
    Bench b;
    b.dialog.answer = path;
    // Warm up the JPEG decoder on a small picture first.
    QImageReader(u":/window/default.jpg"_s).read();
    Bench::settle();
    const long before = statusKiB("VmRSS:");
    resetPeak();
    if (ours) {
        b.form.FileOpen_Click();
        b.form.Imageshow->repaint();
    } else {
        QImageReader reader(path);
        reader.setScaledSize(QSize(200, 192));
        reader.read();
    }
    std::printf("%.2f\n", (statusKiB("VmHWM:") - before) / 1024.0);
    return 0;
}

// What keeping the pixmap cache empty costs: the window's controls draw
// their frames and gradients afresh on every paint.
void benchWindowPaint(int runs)
{
    Bench b;
    QImage target(b.form.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> none, cached;
    const int limit = QPixmapCache::cacheLimit();
    for (int r = 0; r < runs; ++r)
        for (const bool withCache : { false, true }) {
            QPixmapCache::setCacheLimit(withCache ? 10240 : 0);
            b.form.render(&target); // once, to fill the cache where there is one
            QElapsedTimer t;
            t.start();
            for (int i = 0; i < 20; ++i)
                b.form.render(&target);
            (withCache ? cached : none).push_back(msSince(t) / 20);
        }
    QPixmapCache::setCacheLimit(limit);
    std::printf("window painted whole: %.2f ms without a pixmap cache, %.2f ms with Qt's default; ratio %.2fx"
                "   (medians of %d runs of 20 paints)\n",
                median(none), median(cached), median(none) / median(cached), runs);
}

} // namespace

int main(int argc, char **argv)
{
    lumaro::prepareEnvironment();
    QApplication app(argc, argv);
    lumaro::prepareApplication(app);
    lumaro::keepPixmapCacheEmpty(); // as the program has it once its window is up
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"all"_s;
    const int runs = argc > 2 ? std::max(3, atoi(argv[2])) : 21;
    if (what == u"open-mem" && argc > 3)
        return openMemory(QString::fromLatin1(argv[2]) == u"ours"_s, QString::fromLocal8Bit(argv[3]));
    QTemporaryDir dir(QDir::tempPath() + u"/lumaro-bench-XXXXXX"_s);
    if (what == u"repaint" || what == u"all")
        benchRepaint(dir, runs);
    if (what == u"open" || what == u"all")
        benchOpen(dir, runs);
    if (what == u"capture" || what == u"all")
        benchCapture(runs);
    if (what == u"save" || what == u"all")
        benchSave(dir, runs);
    if (what == u"window" || what == u"all")
        benchWindowPaint(runs);
    return 0;
}
