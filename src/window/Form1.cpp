#include "window/Form1.h"

#include "platform/MessagePrompt.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace lumaro {

Form1::Form1(const Platform &platform, QWidget *parent)
    : QMainWindow(parent)
    , Dialog(platform.dialog)
    , m_platform(platform)
{
    buildDefinition();
    bindEvents();
    takePictureDrops();
    // The load event comes once every control exists, before the window shows.
    Form_Load();
}

Form1::~Form1() = default;

void Form1::centreOnScreen()
{
    // Done by the program itself so that the window is centred even where no
    // window manager places it.
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect avail = screen->availableGeometry();
    const QSize frame = frameGeometry().size().expandedTo(size());
    move(avail.left() + (avail.width() - frame.width()) / 2, avail.top() + (avail.height() - frame.height()) / 2);
}

void Form1::warn(const QString &text)
{
    m_platform.prompt.show(text, MsgButtons::Ok, MsgIcon::Warning, u"Lumaro"_s);
}

} // namespace lumaro
