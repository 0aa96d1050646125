#pragma once

#include "platform/Platform.h"
#include "platform/QtCaptureLibrary.h"
#include "platform/QtClipboard.h"
#include "platform/QtCommonDialog.h"
#include "platform/QtMessageBox.h"
#include "platform/QtPictureLoader.h"
#include "platform/QtPictureWriter.h"
#include "platform/QtWebOpener.h"

// The real program's platform: Qt's dialogs, codecs, clipboard, message box,
// URL handler and our own capture library.
struct QtPlatform
{
    QtCommonDialog dialog;
    QtPictureLoader loader;
    QtPictureWriter writer;
    QtClipboard clipboard;
    QtMessageBox messageBox;
    QtWebOpener web;
    QtCaptureLibrary capture;

    Platform refs() { return { dialog, loader, writer, clipboard, messageBox, web, capture }; }

    void setParentWidget(QWidget *w)
    {
        dialog.setParentWidget(w);
        messageBox.setParentWidget(w);
    }
};
