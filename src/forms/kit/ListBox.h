#pragma once

#include <QComboBox>

namespace trivex::forms {

// The windows' editable lists. A class of their own so that they can have an accessible
// interface of their own: on Linux Qt names a list by its current value, so that a screen
// reader announced "101" instead of "RS485 Address"; this one gives the list's accessible name
// as its name and the current value as its value.
class ListBox : public QComboBox {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);
};

// Makes Qt's accessibility use the interface of ListBox; once, before any window is built.
void installListBoxAccessibility();

} // namespace trivex::forms
