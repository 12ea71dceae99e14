#pragma once

#include "session/Texts.h"

#include <QString>

// Texts the operator reads in the windows, written out once; the words of exchanges and
// refusals are shared with the command line.
namespace trivex::forms::texts {

using namespace trivex::texts;

inline const QString kApplicationTitle = QStringLiteral("varerezuva");

// Status bar.
inline const QString kDeviceNotSelected = QStringLiteral("Device Not Selected");

} // namespace trivex::forms::texts
