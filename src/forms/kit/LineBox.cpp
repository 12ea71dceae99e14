#include "forms/kit/LineBox.h"

#include "protocol/Text.h"
#include "session/Texts.h"

#include <QApplication>
#include <QLineEdit>
#include <QToolTip>

namespace trivex::forms {

namespace {

// The characters of text that display text may not hold, in order.
std::u32string untypeable(const QString& text) {
    std::u32string found;
    for (char32_t character : text.toStdU32String()) {
        if (!protocol::isTypeable(character)) {
            found += character;
        }
    }
    return found;
}

} // namespace

TypingValidator::TypingValidator(QLineEdit* box, int limit, bool displayText)
    : QValidator(box)
    , limit_(limit)
    , allowance_(limit)
    , displayText_(displayText) {
}

QValidator::State TypingValidator::validate(QString& input, int&) const {
    refusal_.clear();
    if (input.size() > allowance_) {
        return Invalid;
    }
    if (displayText_) {
        const std::u32string now = untypeable(input);
        const std::u32string before = untypeable(accepted_);
        if (now.size() > before.size()) {
            // The first character that the box did not hold before is the one typed.
            std::size_t at = 0;
            while (at < before.size() && now[at] == before[at]) {
                ++at;
            }
            const char32_t typed = now[at];
            refusal_ = (protocol::isSendable(typed) ? texts::kMarkerRefused : texts::kNoByteRefused)
                           .arg(QString::fromUcs4(&typed, 1));
            return Invalid;
        }
    }
    accepted_ = input;
    return Acceptable;
}

void limitTyping(QLineEdit* box, int limit, bool displayText) {
    auto* rule = new TypingValidator(box, limit, displayText);
    box->setValidator(rule);
    QObject::connect(box, &QLineEdit::inputRejected, box, [box, rule] {
        if (rule->refusal().isEmpty()) {
            return;
        }
        QApplication::beep();
        QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), rule->refusal(), box);
    });
}

void putText(QLineEdit* box, const QString& text) {
    if (auto* rule = qobject_cast<TypingValidator*>(const_cast<QValidator*>(box->validator()))) {
        rule->allowText(text);
    }
    box->setText(text);
}

} // namespace trivex::forms
