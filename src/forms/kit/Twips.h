#pragma once

#include <QRect>
#include <QSize>

namespace trivex::forms {

// Window geometry is kept in twips, as the layouts were drawn: 1/1440 inch, 15 to a pixel at
// 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

constexpr int pixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

inline QSize twipsSize(int width, int height) {
    return {pixels(width), pixels(height)};
}

} // namespace trivex::forms
