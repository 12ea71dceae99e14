#pragma once

#include <QString>

// Texts the operator reads, written out once.
namespace trivex::forms::texts {

inline const QString kApplicationTitle = QStringLiteral("varerezuva");

// Status bar.
inline const QString kDeviceNotSelected = QStringLiteral("Device Not Selected");
inline const QString kUidPrefix = QStringLiteral("UID ");
inline const QString kConnectedSuffix = QStringLiteral(" Connected");
inline const QString kDeviceNotFound = QStringLiteral("Device Not Found");
inline const QString kDeviceDisconnected = QStringLiteral("Device Disconnected");
inline const QString kNoResponse = QStringLiteral("No Response");
inline const QString kPortNotOpen = QStringLiteral("Port Not Open");
inline const QString kAddressRefused =
    QStringLiteral("Address \"%1\" refused: enter a whole number 0 to 255");

// Input state label.
inline const QString kHigh = QStringLiteral("HIGH");
inline const QString kLow = QStringLiteral("LOW");

} // namespace trivex::forms::texts
