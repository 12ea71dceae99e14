// Renders an SVG icon into the PNG files of the hicolor theme, for installation:
//   trivex-icons SVG FOLDER NAME   writes FOLDER/<size>x<size>/apps/NAME.png at every size.

#include "icons/Icon.h"
#include "icons/SvgIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: trivex-icons SVG FOLDER NAME\n");
        return 2;
    }
    for (int size : trivex::icons::kSizes) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        const QImage image = trivex::icons::render(QString::fromLocal8Bit(argv[1]), size);
        if (image.isNull() || !QDir().mkpath(folder) ||
            !image.save(QStringLiteral("%1/%2.png").arg(folder, QString::fromLocal8Bit(argv[3])), "PNG")) {
            std::fprintf(stderr, "trivex-icons: %s at %d pixels not written\n", argv[1], size);
            return 1;
        }
    }
    return 0;
}
