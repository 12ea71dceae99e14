#include "forms/LineBox.h"

#include "protocol/Text.h"

namespace trivex::forms {

QValidator::State SendableTextValidator::validate(QString& input, int&) const {
    for (char32_t character : input.toStdU32String()) {
        if (!protocol::isSendable(character)) {
            return Invalid;
        }
    }
    return Acceptable;
}

} // namespace trivex::forms
