#include "icons/Icon.h"

namespace trivex::icons {

QIcon programIcon(const QString& name) {
    QIcon icon;
    for (int size : kWindowSizes) {
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/%2.png").arg(size).arg(name), QSize(size, size));
    }
    return icon;
}

} // namespace trivex::icons
