#pragma once

#include <QValidator>

namespace trivex::forms {

// Refuses text with a character that has no byte of its own on the wire, so that what the
// operator sees in a line box is exactly what the module receives.
class SendableTextValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

} // namespace trivex::forms
