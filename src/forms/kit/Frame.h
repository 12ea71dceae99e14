#pragma once

#include <QGroupBox>

namespace trivex::forms {

// A group frame as the layouts were drawn for: an etched border whose top line carries the
// caption, children placed relative to the frame's outer corner.
class Frame : public QGroupBox {
    Q_OBJECT
public:
    explicit Frame(const QString& caption, QWidget* parent = nullptr);

    // Where the caption is drawn, for the check that it fits.
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace trivex::forms
