#include "cli/CommandLine.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "forms/kit/Termination.h"
#include "link/Devices.h"
#include "settings/Profile.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    {
        // A program object without windows, so that the help text names the program.
        QCoreApplication commandLine(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(TRIVEX_VERSION));
        QCommandLineParser parser;
        parser.setApplicationDescription(
            QStringLiteral("Configures and tests TRIVEX character LCD modules on an RS485 bus."));
        const QString files =
            QStringLiteral("\nSettings file: %1\n(TRIVEX_INI in the environment names another.)\n")
                .arg(trivex::settings::settingsFile());
        if (const auto status = trivex::cli::handleCommandLine(parser, commandLine.arguments(), files)) {
            return *status;
        }
    }
    if (!trivex::cli::checkDisplay("trivex")) {
        return 1;
    }
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.trivex.Trivex"));
    // After the application object has set the locale up, while the window is built.
    trivex::link::readDevicesAhead();
    trivex::cli::displayStarted();
    trivex::settings::settingsFile(); // the settings location is chosen once, here
    trivex::forms::applyApplicationStyle(app);
    trivex::forms::frmMain window;
    trivex::forms::closeOnTermination(window);
    window.show();
    return QApplication::exec();
}
