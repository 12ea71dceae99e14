#pragma once

#include "sim/core/Lcd.h"

#include <QTimer>
#include <QWidget>

namespace trivex::sim {

enum class ColourModel { BlueWhite, YellowGreen };

// A 16 x 2 dot-matrix display as the module shows it: 5 x 8 dots a character, backlight on,
// off or blinking, the cursor underlined or blinking.
class DisplayWidget : public QWidget {
    Q_OBJECT
public:
    explicit DisplayWidget(const Lcd& display, QWidget* parent = nullptr);

    void setColourModel(ColourModel model);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Lcd& display_;
    ColourModel model_ = ColourModel::BlueWhite;
    QTimer blink_;
    bool phase_ = false;
};

} // namespace trivex::sim
