#include "forms/StoreSettings.h"

#include "forms/Messages.h"
#include "settings/Profile.h"

#include <QStringList>

namespace trivex::forms {

void storeSettings(QWidget* window, const QString& section, const QList<QPair<QString, QString>>& keys) {
    QStringList lost;
    for (const auto& [key, value] : keys) {
        if (!settings::WriteINI(section, key, value)) {
            lost << key;
        }
    }
    if (!lost.isEmpty()) {
        showMessage(
            window, QMessageBox::Warning,
            QStringLiteral("These settings could not be stored in %1: %2.\n%3.")
                .arg(settings::settingsFile(), lost.join(QStringLiteral(", ")), settings::lastWriteError()));
    }
}

} // namespace trivex::forms
