#include "forms/LineBox.h"

#include "protocol/Text.h"

#include <QLineEdit>

namespace trivex::forms {

TypingValidator::TypingValidator(QObject* parent, int limit, bool sendableOnly)
    : QValidator(parent)
    , limit_(limit)
    , allowance_(limit)
    , sendableOnly_(sendableOnly) {
}

QValidator::State TypingValidator::validate(QString& input, int&) const {
    if (input.size() > allowance_) {
        return Invalid;
    }
    if (sendableOnly_) {
        for (char32_t character : input.toStdU32String()) {
            if (!protocol::isSendable(character)) {
                return Invalid;
            }
        }
    }
    return Acceptable;
}

void limitTyping(QLineEdit* box, int limit, bool sendableOnly) {
    box->setValidator(new TypingValidator(box, limit, sendableOnly));
}

} // namespace trivex::forms

namespace trivex::forms {

void putText(QLineEdit* box, const QString& text) {
    if (auto* rule = qobject_cast<TypingValidator*>(const_cast<QValidator*>(box->validator()))) {
        rule->allowLength(static_cast<int>(text.size()));
    }
    box->setText(text);
}

} // namespace trivex::forms
