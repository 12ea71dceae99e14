#pragma once

#include <functional>

class QWidget;

namespace trivex::app {

// trivex from its command line to the end of its event loop: the command line read before any
// window system is touched (--help and --version need no display), the settings file chosen
// once, the style set, the main window built, shown and run. shown, when given, is handed the
// main window just before it is first shown (the start-up benchmark ends the run at its first
// paint). Returns the program's exit status.
int runTrivex(int argc, char* argv[], const std::function<void(QWidget&)>& shown = {});

} // namespace trivex::app
