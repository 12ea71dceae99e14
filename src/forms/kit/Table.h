#pragma once

#include <QStringList>
#include <QTableWidget>
#include <functional>
#include <vector>

namespace trivex::forms {

// A table the tool windows show their results in: whole rows picked one at a time, nothing
// edited in place, the last column taking the width that is left.
QTableWidget* resultTable(const QString& name, const QString& accessibleName, const QStringList& headers);

// A long log shown in a table (traffic, frames): its rows a line each, whole rows picked, a
// row's height that of its text.
void setUpLogTable(QTableView* table, const QString& name, const QString& accessibleName);

// Widens each column of table to what the rows in view show in it (text(row, column)), in the
// fixed-pitch font for fixedColumn, so that no entry is cut; columns never narrow. The widths.
std::vector<int> widenColumnsToRows(QTableView* table, int columns,
                                    const std::function<QString(int, int)>& text, int fixedColumn);

// Runs append, which adds rows to table's model: a table that showed its last row goes on
// showing it, one scrolled back stays where the reader put it.
void appendFollowing(QTableView* table, const std::function<void()>& append);

} // namespace trivex::forms
