#pragma once

#include <QPushButton>

namespace trivex::forms {

// A push button whose caption wraps onto further lines when it is wider than the button, as
// the layouts expect of their tall, narrow buttons ("Set Custom Characters").
class Button : public QPushButton {
    Q_OBJECT
public:
    explicit Button(const QString& caption, QWidget* parent = nullptr);

    // Where the caption goes, and the flags it is drawn with.
    QRect captionRect() const;
    static constexpr int kCaptionFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace trivex::forms
