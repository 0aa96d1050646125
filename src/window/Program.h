#pragma once

#include <functional>

class QApplication;

namespace lumaro {

class Form1;
struct CommandLine;

// Process-wide settings that must be made before QApplication exists.
void prepareEnvironment();

// Chinese for Qt's own dialogs and buttons, the program's name and icon.
void prepareApplication(QApplication &app);

// Shows the window as a start does, centred (where the display lets a
// program place its windows) and active; then, once it is up, opens the
// picture the command line names.
void showAtStart(Form1 &form, const CommandLine &line);

// Builds the window with the real platform, shows it centred and runs the
// event loop. `shown` (for measurements) is called right after show().
int run(int argc, char **argv, const std::function<void(Form1 &)> &shown = {});

} // namespace lumaro
