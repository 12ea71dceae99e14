#include "forms/Style.h"
#include "forms/Termination.h"
#include "forms/frmMain.h"
#include "settings/Profile.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    trivex::settings::settingsFile(); // the settings location is chosen once, here
    trivex::forms::applyApplicationStyle(app);
    trivex::forms::frmMain window;
    trivex::forms::closeOnTermination(window);
    window.show();
    return QApplication::exec();
}
