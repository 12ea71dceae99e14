#include "forms/kit/Table.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>

namespace trivex::forms {

QTableWidget* resultTable(const QString& name, const QString& accessibleName, const QStringList& headers) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()));
    table->setObjectName(name);
    table->setAccessibleName(accessibleName);
    table->setHorizontalHeaderLabels(headers);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return table;
}

void setUpLogTable(QTableView* table, const QString& name, const QString& accessibleName) {
    table->setObjectName(name);
    table->setAccessibleName(accessibleName);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

std::vector<int> widenColumnsToRows(QTableView* table, int columns,
                                    const std::function<QString(int, int)>& text, int fixedColumn) {
    const int rows = table->model()->rowCount();
    const int first = std::max(table->rowAt(0), 0);
    int last = table->rowAt(table->viewport()->height() - 1);
    last = last < 0 ? rows - 1 : last;
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics words = table->fontMetrics();
    const int padding = 2 * table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8;
    std::vector<int> widths(static_cast<std::size_t>(columns));
    for (int column = 0; column < columns; ++column) {
        int width = table->columnWidth(column);
        const QFontMetrics& metrics = column == fixedColumn ? fixed : words;
        for (int row = first; row <= last; ++row) {
            width = std::max(width, metrics.horizontalAdvance(text(row, column)) + padding);
        }
        widths[static_cast<std::size_t>(column)] = width;
        table->setColumnWidth(column, width);
    }
    return widths;
}

void appendFollowing(QTableView* table, const std::function<void()>& append) {
    const QScrollBar* bar = table->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    append();
    if (following) {
        table->scrollToBottom();
    }
}

} // namespace trivex::forms
