#pragma once

#include "platform/Platform.h"
#include "platform/QtCaptureLibrary.h"
#include "platform/QtClipboard.h"
#include "platform/QtCommonDialog.h"
#include "platform/QtMessagePrompt.h"
#include "platform/QtPictureLoader.h"
#include "platform/QtPictureWriter.h"
#include "platform/QtWebOpener.h"

namespace lumaro {

// The real program's platform: Qt's dialogs, codecs, clipboard, message box,
// URL handler and our own capture library.
struct QtPlatform
{
    QtCommonDialog dialog;
    QtPictureLoader loader;
    QtPictureWriter writer;
    QtClipboard clipboard;
    QtMessagePrompt prompt;
    QtWebOpener web;
    QtCaptureLibrary capture;

    Platform refs() { return { dialog, loader, writer, clipboard, prompt, web, capture }; }
};

} // namespace lumaro
