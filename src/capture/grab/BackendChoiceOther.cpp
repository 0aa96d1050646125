// Which way to read the screen where every program may read it (Windows, macOS).

#include "NullGrab.h"
#include "QtScreenGrab.h"

#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

std::unique_ptr<GrabBackend> makeGrabBackend(WaitNotice notice)
{
    Q_UNUSED(notice); // every program may read the screen here: nothing to wait for
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen" || platform == u"minimal")
        return std::make_unique<NullGrab>(u"在这个显示平台（%1）上无法截取屏幕。"_s.arg(platform));
    return std::make_unique<QtScreenGrab>();
}

} // namespace lumaro::capture
