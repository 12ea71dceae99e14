#pragma once

#include <QValidator>

class QLineEdit;

namespace trivex::forms {

// What the operator may type into a box: at most limit characters, and, for text that goes to
// the display, only characters that have a byte of their own on the wire and are no frame
// marker. Text the program puts into the box (a value read from the settings file) is kept
// whole even when it is longer or holds such characters; the operator may then edit it, but
// not add to what it breaks.
class TypingValidator : public QValidator {
    Q_OBJECT
public:
    TypingValidator(QLineEdit* box, int limit, bool displayText);
    State validate(QString& input, int& position) const override;

    // The text the program puts into the box passes as it is, and edits are judged against it.
    void allowText(const QString& text) {
        allowance_ = text.size() > limit_ ? static_cast<int>(text.size()) : limit_;
        accepted_ = text;
    }

    // Why the last refused input was refused, for the operator; empty for a refused length.
    const QString& refusal() const { return refusal_; }

private:
    int limit_;
    int allowance_;
    bool displayText_;
    mutable QString accepted_; // the text as last accepted: what a new input adds to
    mutable QString refusal_;
};

// Gives box its typing rule. A character refused for its byte is explained in a tooltip at the
// box, with a beep.
void limitTyping(QLineEdit* box, int limit, bool displayText);

// Puts text into a box with a typing rule, whole, however long it is.
void putText(QLineEdit* box, const QString& text);

} // namespace trivex::forms
