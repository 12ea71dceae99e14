#pragma once

#include <QComboBox>
#include <QHash>
#include <QString>
#include <QWidget>
#include <vector>

namespace trivex::forms {

enum class ControlKind { Frame, Button, Option, ComboBox, TextBox, Label };

// One row of a window's geometry table: the control's name, kind, caption, container (empty
// for the window itself), place and size in twips relative to the container, and tab index.
struct ControlSpec {
    QString name;
    ControlKind kind;
    QString caption;
    QString container;
    int left;
    int top;
    int width;
    int height;
    int tab;
};

// The name of element index of a control array, as in "cmdChar(3)".
QString arrayElement(const QString& name, int index);

// Adds the entries "first" to "last" to a list, ascending, as plain decimal text.
void fillNumbers(QComboBox* list, int first, int last);

// The controls of one window, built from its table and found again by name.
class ControlSet {
public:
    // Creates every control in client (containers before what they contain), places it, and
    // chains the focusable ones in the order of the tab column.
    void build(QWidget* client, const std::vector<ControlSpec>& specs);

    QWidget* widget(const QString& name) const { return widgets_.value(name); }
    template <class T> T* get(const QString& name) const { return qobject_cast<T*>(widget(name)); }

private:
    QHash<QString, QWidget*> widgets_;
};

} // namespace trivex::forms
