// trivex's start-up exactly as its main() does it (the command line read first, then the
// window system), ending at the first paint of the window.

#include "FirstPaint.h"
#include "cli/CommandLine.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "forms/kit/Termination.h"
#include "link/Devices.h"
#include "settings/Profile.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    {
        QCoreApplication commandLine(argc, argv);
        QCommandLineParser parser;
        if (const auto status = trivex::cli::handleCommandLine(parser, commandLine.arguments(),
                                                               trivex::settings::settingsFile())) {
            return *status;
        }
    }
    if (!trivex::cli::checkDisplay("trivex")) {
        return 1;
    }
    QApplication app(argc, argv);
    // After the application object has set the locale up, while the window is built.
    trivex::link::readDevicesAhead();
    trivex::cli::displayStarted();
    trivex::forms::applyApplicationStyle(app);
    trivex::forms::frmMain window;
    trivex::forms::closeOnTermination(window);
    QuitOnFirstPaint quit(&window);
    window.show();
    return QApplication::exec();
}
