#include "forms/kit/StoreSettings.h"

#include "forms/kit/Messages.h"
#include "settings/Profile.h"

#include <QStringList>

namespace trivex::forms {

void storeSettings(QWidget* window, const QList<settings::IniEntry>& entries) {
    if (settings::WriteINI(entries)) {
        return;
    }
    QStringList lost;
    for (const settings::IniEntry& entry : entries) {
        lost << entry.key;
    }
    showMessage(window, QMessageBox::Warning,
                QStringLiteral("These settings could not be stored in %1: %2.\n%3.")
                    .arg(settings::settingsFile(), lost.join(QStringLiteral(", ")),
                         capitalised(settings::lastWriteError())));
}

} // namespace trivex::forms
