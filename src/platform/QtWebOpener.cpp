#include "platform/QtWebOpener.h"

#include <QDesktopServices>

bool QtWebOpener::open(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
