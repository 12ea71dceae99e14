#include "forms/frmMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    trivex::forms::frmMain window;
    window.show();
    return QApplication::exec();
}
