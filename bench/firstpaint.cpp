// Starts either Lumaro's window (as the program does) or a bare Qt window of
// the same size, and prints one line once the first paint has been flushed:
//   painted <peak resident set in KiB>
// then quits. bench/startup_runner times it from the outside.

#include "window/Form1.h"
#include "window/Program.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>

#include <cstdio>
#include <cstring>

using namespace lumaro;

namespace {

long peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Reports after the first paint of `window` and everything painted with it.
class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, [] {
                std::printf("painted %ld\n", peakKiB());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char **argv)
{
    FirstPaint watcher;
    // "bare": an empty window. "text": the same with a menu and one line of
    // Chinese text, i.e. what any window pays to start its font system.
    const bool bare = argc > 1 && std::strcmp(argv[1], "bare") == 0;
    const bool text = argc > 1 && std::strcmp(argv[1], "text") == 0;
    if (bare || text) {
        QApplication app(argc, argv);
        QMainWindow w;
        if (text) {
            w.menuBar()->addMenu(QStringLiteral("文件(&F)"));
            w.setCentralWidget(new QLabel(QStringLiteral("宽:3000 高:2880")));
        }
        w.resize(565, 495);
        w.installEventFilter(&watcher);
        w.show();
        return app.exec();
    }
    return lumaro::run(argc, argv, [&](Form1 &form) { form.installEventFilter(&watcher); });
}
