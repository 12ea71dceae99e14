#include "forms/kit/ListBox.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QLineEdit>

namespace trivex::forms {

namespace {

class ListBoxAccessible : public QAccessibleWidget {
public:
    explicit ListBoxAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && !list()->accessibleName().isEmpty()) {
            return list()->accessibleName();
        }
        if (t == QAccessible::Name || t == QAccessible::Value) {
            return list()->currentText();
        }
        return QAccessibleWidget::text(t);
    }

    // Its children: the list of entries, and the text field.
    int childCount() const override { return list()->lineEdit() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0) {
            return QAccessible::queryAccessibleInterface(list()->view());
        }
        return index == 1 && list()->lineEdit() ? QAccessible::queryAccessibleInterface(list()->lineEdit())
                                                : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i) {
            if (this->child(i) && this->child(i)->object() == child->object()) {
                return i;
            }
        }
        return -1;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = list()->isEditable();
        state.expandable = true;
        state.expanded = list()->view()->isVisible();
        return state;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) {
            list()->view()->isVisible() ? list()->hidePopup() : list()->showPopup();
        }
    }

private:
    QComboBox* list() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* listBoxFactory(const QString& key, QObject* object) {
    if (key == QLatin1String("trivex::forms::ListBox") && object->isWidgetType()) {
        return new ListBoxAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

} // namespace

ListBox::ListBox(QWidget* parent)
    : QComboBox(parent) {
}

void installListBoxAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(listBoxFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace trivex::forms
