#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QWidget;

namespace trivex::forms {

// Writes the keys of a closing window in the order given. When the file refuses any of them,
// the operator is told which were lost and why; the window closes all the same.
void storeSettings(QWidget* window, const QString& section, const QList<QPair<QString, QString>>& keys);

} // namespace trivex::forms
