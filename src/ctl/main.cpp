// trivexctl: the TRIVEX modules from the command line, for scripts, test stations and batch
// commissioning; no display needed.

#include "ctl/Command.h"
#include "ctl/Options.h"
#include "ctl/Views.h"
#include "link/NetworkPort.h"
#include "settings/Profile.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // A file that may grow no further (a size limit) is a write error to report, not the end.
    std::signal(SIGXFSZ, SIG_IGN);
    int status = 0;
    {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("trivexctl"));
        QCoreApplication::setApplicationVersion(QStringLiteral(TRIVEX_VERSION));
        QString why;
        const auto options = trivex::ctl::parseOptions(QCoreApplication::arguments().mid(1), &why);
        if (!options) {
            trivex::ctl::tell(why + QStringLiteral(" (trivexctl --help)"));
            if (QCoreApplication::arguments().contains(QStringLiteral("--json"))) {
                std::printf("%s\n", trivex::ctl::problemJson(trivex::ctl::kRefused, why).constData());
            }
            return trivex::ctl::kRefused;
        }
        if (options->help || options->words.contains(QStringLiteral("--help"))) { // "trivexctl scan --help"
            std::printf("%s\nSettings file: %s\n", qPrintable(trivex::ctl::usage()),
                        qPrintable(trivex::settings::settingsFile()));
            return trivex::ctl::kPassed;
        }
        if (options->version) {
            std::printf("trivexctl %s\n", TRIVEX_VERSION);
            return trivex::ctl::kPassed;
        }
        status = trivex::ctl::runCommand(*options);
        if (trivex::link::NetworkPort::lookupAbandoned()) {
            // The resolver's thread would hold the end of the program until it gives up too.
            std::fflush(stdout);
            std::fflush(stderr);
            ::_exit(status);
        }
    }
    return status;
}
