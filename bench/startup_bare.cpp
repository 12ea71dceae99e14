// A bare Qt 6 window program, built as trivex is: the yardstick for start-up time and memory.

#include "FirstPaint.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.menuBar()->addAction(QStringLiteral("Menu"));
    window.setCentralWidget(new QLabel(QStringLiteral("bare window")));
    window.statusBar()->showMessage(QStringLiteral("ready"));
    window.resize(468, 540);
    QuitOnFirstPaint quit(&window);
    window.show();
    return QApplication::exec();
}
