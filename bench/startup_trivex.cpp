// trivex's start-up exactly as its main() does it, ending at the first paint of the window.

#include "FirstPaint.h"
#include "forms/Style.h"
#include "forms/frmMain.h"
#include "settings/Profile.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    trivex::settings::settingsFile();
    trivex::forms::applyApplicationStyle(app);
    trivex::forms::frmMain window;
    QuitOnFirstPaint quit(&window);
    window.show();
    return QApplication::exec();
}
