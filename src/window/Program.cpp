#include "window/Program.h"

#include "platform/BusAhead.h"
#include "platform/FocusGuard.h"
#include "platform/FontsAhead.h"
#include "platform/FreeMemory.h"
#include "platform/QtPlatform.h"
#include "platform/ThreadExitGuard.h"
#include "window/CommandLine.h"
#include "window/Form1.h"
#include "window/StartPictures.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace lumaro {

void prepareEnvironment()
{
    // The window is laid out in twips at 96 dpi, captions included.
    QApplication::setAttribute(Qt::AA_Use96Dpi);
    guardThreadExit();
    keepOneHeap();
}

void prepareApplication(QApplication &app)
{
    QApplication::setApplicationName(u"Lumaro"_s);
    // The name of the installed desktop entry: Wayland compositors find the
    // icon through it.
    QGuiApplication::setDesktopFileName(u"example.lumaro.Lumaro"_s);
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    QLocale::setDefault(chinese);
    auto *translator = new QTranslator(&app);
    if (translator->load(chinese, u"qtbase"_s, u"_"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    guardAgainstLostFocusWindow();
    freeReplacedClipboardData();
}

namespace {

// Empties the pixmap cache for good once the window has painted for the
// first time. That paint draws the panels' frame from the same picture file
// three times, and each control's look once: with the cache, the file is
// read once. What it held by then is a handful of entries, dropped once. A
// window that starts minimised may not paint for a long time; the cache is
// then emptied after a few seconds all the same.
class EmptyPixmapCacheAfterFirstPaint : public QObject
{
public:
    explicit EmptyPixmapCacheAfterFirstPaint(QWidget *window)
        : QObject(window)
        , m_window(window)
    {
        window->installEventFilter(this);
        QTimer::singleShot(3000, this, &EmptyPixmapCacheAfterFirstPaint::empty);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // After the whole window, its controls included, has painted.
        if (watched == m_window && event->type() == QEvent::Paint)
            QTimer::singleShot(0, this, &EmptyPixmapCacheAfterFirstPaint::empty);
        return false;
    }

private:
    void empty()
    {
        m_window->removeEventFilter(this);
        keepPixmapCacheEmpty();
        deleteLater();
    }

    QWidget *m_window;
};

} // namespace

void showAtStart(Form1 &form, const CommandLine &line)
{
    // A Wayland client cannot place its windows; the compositor does. (The
    // capture library asks the same in capture/frozen/Session.h; the window
    // does not link the library, which it loads by file name, so it asks Qt
    // itself.)
    if (!QGuiApplication::platformName().startsWith(u"wayland"_s))
        form.centreOnScreen();
    // The icon of every window the program opens, its dialogs' too.
    QApplication::setWindowIcon(programIcon());
    new EmptyPixmapCacheAfterFirstPaint(&form);
    form.show();
    // Focus in the first text box from the start, window manager or not.
    form.activateWindow();
    if (!line.picture.isEmpty())
        QTimer::singleShot(0, &form, [&form, path = line.picture] { form.openPictureFile(path); });
}

namespace {

int answer(const CommandLine &line)
{
    QTextStream out(stdout), err(stderr);
    return answerCommandLine(line, out, err);
}

} // namespace

int run(int argc, char **argv, const std::function<void(Form1 &)> &shown)
{
    // A plain start has nothing more to read. Help and the version are
    // answered before Qt starts, so they need no display.
    if (argc > 1) {
        QStringList arguments;
        for (int i = 1; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        const CommandLine early = readCommandLine(arguments);
        if (early.ask == CommandLine::Ask::Help || early.ask == CommandLine::Ask::Version)
            return answer(early);
    }

    prepareEnvironment();
    FontsAhead fonts;
    BusAhead bus;
    QApplication app(argc, argv);
    // Qt has taken its own options (-platform, -style, ...) out; the rest is ours.
    CommandLine line;
    if (argc > 1) {
        line = readCommandLine(QCoreApplication::arguments().mid(1));
        if (line.ask != CommandLine::Ask::Window)
            return answer(line);
    }
    // The pictures decode while the window's fonts load; both are needed
    // only once the window is built.
    decodeStartPicturesAhead();
    prepareApplication(app);
    fonts.finish();

    QtPlatform platform;
    Form1 form(platform.refs());
    showAtStart(form, line);
    if (shown)
        shown(form);
    return app.exec();
}

} // namespace lumaro
