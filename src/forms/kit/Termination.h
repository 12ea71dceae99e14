#pragma once

class QWidget;

namespace trivex::forms {

// SIGTERM, SIGHUP and SIGINT close window as its close button would (the secondary windows
// close with it and store their settings), then the program ends with status 0. The signal
// handler only writes to a pipe; the closing runs in the event loop.
void closeOnTermination(QWidget& window);

} // namespace trivex::forms
