// Writes the program's icon as a PNG file, for installation beside the desktop entry.

#include "forms/Style.h"

#include <QGuiApplication>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        return 2;
    }
    return trivex::forms::applicationIconImage().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
