#include "forms/kit/Controls.h"

#include "forms/kit/Button.h"
#include "forms/kit/Frame.h"
#include "forms/kit/ListBox.h"
#include "forms/kit/Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>

namespace trivex::forms {

namespace {

QWidget* create(const ControlSpec& spec, QWidget* parent) {
    switch (spec.kind) {
    case ControlKind::Frame:
        return new Frame(spec.caption, parent);
    case ControlKind::Button:
        return new Button(spec.caption, parent);
    case ControlKind::Option:
        return new QRadioButton(spec.caption, parent);
    case ControlKind::ComboBox: {
        auto* box = new ListBox(parent);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert); // typed text never becomes an entry
        box->setCompleter(nullptr);                // nor is it completed to one: "12" stays 12
        box->setMaxVisibleItems(8);
        return box;
    }
    case ControlKind::TextBox:
        return new QLineEdit(parent);
    case ControlKind::Label:
        return new QLabel(spec.caption, parent);
    }
    return nullptr;
}

} // namespace

void fillNumbers(QComboBox* list, int first, int last) {
    for (int value = first; value <= last; ++value) {
        list->addItem(QString::number(value));
    }
}

QString arrayElement(const QString& name, int index) {
    return QStringLiteral("%1(%2)").arg(name).arg(index);
}

void ControlSet::build(QWidget* client, const std::vector<ControlSpec>& specs) {
    // Containers first, so that every control finds its parent; a control of the window that
    // lies over a frame is created after it and so drawn above it.
    std::vector<const ControlSpec*> order;
    for (const ControlSpec& spec : specs) {
        order.push_back(&spec);
    }
    std::stable_sort(order.begin(), order.end(), [](const ControlSpec* a, const ControlSpec* b) {
        return (a->kind == ControlKind::Frame) > (b->kind == ControlKind::Frame);
    });
    for (const ControlSpec* spec : order) {
        QWidget* parent = spec->container.isEmpty() ? client : widgets_.value(spec->container);
        Q_ASSERT_X(parent, "ControlSet::build", qPrintable(spec->container));
        QWidget* control = create(*spec, parent);
        control->setObjectName(spec->name);
        control->setGeometry(twipsRect(spec->left, spec->top, spec->width, spec->height));
        widgets_.insert(spec->name, control);
    }
    std::sort(order.begin(), order.end(),
              [](const ControlSpec* a, const ControlSpec* b) { return a->tab < b->tab; });
    QWidget* previous = nullptr;
    for (const ControlSpec* spec : order) {
        QWidget* control = widgets_.value(spec->name);
        if (control->focusPolicy() & Qt::TabFocus) {
            if (previous) {
                QWidget::setTabOrder(previous, control);
            }
            previous = control;
        }
    }
}

} // namespace trivex::forms
