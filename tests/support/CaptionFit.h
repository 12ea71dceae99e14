#pragma once

#include <QStringList>

class QWidget;

namespace trivex::test {

// Every caption, label or frame title under window that is wider or taller than the space its
// control gives it, as "name: needs W px, has H px"; empty when all fit.
QStringList overflowingCaptions(const QWidget* window);

} // namespace trivex::test
