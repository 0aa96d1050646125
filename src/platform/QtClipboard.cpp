#include "platform/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

QImage QtClipboard::image() const
{
    return QGuiApplication::clipboard()->image();
}
