#pragma once

#include "settings/IniFile.h"

#include <QList>

class QWidget;

namespace trivex::forms {

// Stores the keys of a closing window in one rewrite of the settings file. When the file refuses
// them, the operator is told which were not stored and why; the window closes all the same.
void storeSettings(QWidget* window, const QList<settings::IniEntry>& entries);

} // namespace trivex::forms
