#include "window/Program.h"

#include "platform/QtPlatform.h"
#include "window/Form1.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace lumaro {

void prepareEnvironment()
{
    // The window is laid out in twips at 96 dpi, captions included.
    QApplication::setAttribute(Qt::AA_Use96Dpi);
}

void prepareApplication(QApplication &app)
{
    QApplication::setApplicationName(u"Lumaro"_s);
    // The name of the installed desktop entry: Wayland compositors find the
    // icon through it.
    QGuiApplication::setDesktopFileName(u"example.lumaro.Lumaro"_s);
    QApplication::setWindowIcon(QIcon(u":/window/lumaro.ico"_s));

    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    QLocale::setDefault(chinese);
    auto *translator = new QTranslator(&app);
    if (translator->load(chinese, u"qtbase"_s, u"_"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

int run(int argc, char **argv, const std::function<void(Form1 &)> &shown)
{
    prepareEnvironment();
    QApplication app(argc, argv);
    prepareApplication(app);

    QtPlatform platform;
    Form1 form(platform.refs());
    // A Wayland client cannot place its windows; the compositor does.
    if (!QGuiApplication::platformName().startsWith(u"wayland"_s))
        form.centreOnScreen();
    form.show();
    // Focus in the first text box from the start, window manager or not.
    form.activateWindow();
    if (shown)
        shown(form);
    return app.exec();
}

} // namespace lumaro
