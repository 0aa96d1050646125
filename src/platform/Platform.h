#pragma once

namespace lumaro {

class CommonDialog;
class PictureLoader;
class PictureWriter;
class Clipboard;
class MessagePrompt;
class WebOpener;
class CaptureLibrary;

// Everything the window's handlers need from outside. main() passes the Qt
// implementations; tests pass fakes.
struct Platform
{
    CommonDialog &dialog;
    PictureLoader &loader;
    PictureWriter &writer;
    Clipboard &clipboard;
    MessagePrompt &prompt;
    WebOpener &web;
    CaptureLibrary &capture;
};

} // namespace lumaro
