// trivexctl: the TRIVEX modules from the command line, for scripts, test stations and batch
// commissioning; no display needed.

#include "ctl/Command.h"
#include "ctl/Options.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trivexctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TRIVEX_VERSION));
    QString why;
    const auto options = trivex::ctl::parseOptions(QCoreApplication::arguments().mid(1), &why);
    if (!options) {
        trivex::ctl::tell(why + QStringLiteral(" (trivexctl --help)"));
        return trivex::ctl::kRefused;
    }
    if (options->help) {
        std::printf("%s", qPrintable(trivex::ctl::usage()));
        return trivex::ctl::kPassed;
    }
    if (options->version) {
        std::printf("trivexctl %s\n", TRIVEX_VERSION);
        return trivex::ctl::kPassed;
    }
    return trivex::ctl::runCommand(*options);
}
