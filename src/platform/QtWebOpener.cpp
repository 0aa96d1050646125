#include "platform/QtWebOpener.h"

#include <QDesktopServices>

namespace lumaro {

bool QtWebOpener::open(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace lumaro
