#include "app/StartUp.h"

#include "cli/CommandLine.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "forms/kit/Termination.h"
#include "link/Devices.h"
#include "session/PortSession.h"
#include "settings/Profile.h"

#include <QApplication>
#include <fontconfig/fontconfig.h>
#include <thread>

namespace trivex::app {

int runTrivex(int argc, char* argv[], const std::function<void(QWidget&)>& shown) {
    {
        // A program object without windows, so that the help text names the program.
        QCoreApplication commandLine(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(TRIVEX_VERSION));
        QCommandLineParser parser;
        parser.setApplicationDescription(
            QStringLiteral("Configures and tests TRIVEX character LCD modules on an RS485 bus."));
        const QString files =
            QStringLiteral("\nSettings file: %1\n(TRIVEX_INI in the environment names another.)\n")
                .arg(settings::settingsFile());
        if (const auto status = cli::handleCommandLine(parser, commandLine.arguments(), files)) {
            return *status;
        }
    }
    if (!cli::checkDisplay("trivex")) {
        return 1;
    }
    // The font configuration is read on a spare processor while the display is connected: the
    // first caption measured would otherwise wait for it.
    std::thread fonts([] { FcInit(); });
    QApplication app(argc, argv);
    fonts.join();
    QGuiApplication::setDesktopFileName(QStringLiteral("org.trivex.Trivex"));
    cli::displayStarted();
    settings::settingsFile(); // the settings location is chosen once, here
    if (session::startUpNeedsDevices()) {
        // After the application object has set the locale up, while the window is built.
        link::readDevicesAhead();
    }
    forms::applyApplicationStyle(app);
    forms::frmMain window;
    forms::closeOnTermination(window);
    if (shown) {
        shown(window);
    }
    window.show();
    return QApplication::exec();
}

} // namespace trivex::app
