#pragma once

#include <QStringList>
#include <QTableWidget>

namespace trivex::forms {

// A table the tool windows show their results in: whole rows picked one at a time, nothing
// edited in place, the last column taking the width that is left.
QTableWidget* resultTable(const QString& name, const QString& accessibleName, const QStringList& headers);

} // namespace trivex::forms
