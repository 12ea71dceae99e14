#pragma once

#include <QValidator>

class QLineEdit;

namespace trivex::forms {

// What the operator may type into a box: at most limit characters, and, for text that goes to
// the display, only characters that have a byte of their own on the wire. Text the program puts
// into the box (a value read from the settings file) is kept whole even when it is longer; the
// operator may then edit it within that length.
class TypingValidator : public QValidator {
    Q_OBJECT
public:
    TypingValidator(QObject* parent, int limit, bool sendableOnly);
    State validate(QString& input, int& position) const override;

    void allowLength(int length) { allowance_ = length > limit_ ? length : limit_; }

private:
    int limit_;
    int allowance_;
    bool sendableOnly_;
};

// Gives box its typing rule.
void limitTyping(QLineEdit* box, int limit, bool sendableOnly);

// Puts text into a box with a typing rule, whole, however long it is.
void putText(QLineEdit* box, const QString& text);

} // namespace trivex::forms
