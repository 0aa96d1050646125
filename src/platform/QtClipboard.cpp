#include "platform/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace lumaro {

QImage QtClipboard::image() const
{
    return QGuiApplication::clipboard()->image();
}

} // namespace lumaro
