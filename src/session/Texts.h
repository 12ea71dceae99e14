#pragma once

#include <QString>

// What the operator reads of an exchange's outcome, of a refusal and of a configuration
// command sent: written out once, for the windows and the command line alike.
namespace trivex::texts {

// Exchanges.
inline const QString kUidPrefix = QStringLiteral("UID ");
inline const QString kConnectedSuffix = QStringLiteral(" Connected");
inline const QString kDeviceNotFound = QStringLiteral("Device Not Found");
inline const QString kDeviceDisconnected = QStringLiteral("Device Disconnected");
inline const QString kNoResponse = QStringLiteral("No Response");
inline const QString kPortNotOpen = QStringLiteral("Port Not Open");
inline const QString kAddressRefused =
    QStringLiteral("Address \"%1\" refused: enter a whole number 0 to 255");
inline const QString kHigh = QStringLiteral("HIGH");
inline const QString kLow = QStringLiteral("LOW");

// Configuration commands.
inline const QString kUidChanged = QStringLiteral("UID Changed");
inline const QString kBaudChanged = QStringLiteral("LCD Baud Rate Changed");
inline const QString kScreenChanged = QStringLiteral("Startup Screen Changed");
inline const QString kCharactersLoaded = QStringLiteral("Custom Characters Loaded");
inline const QString kUidRefused =
    QStringLiteral("The UID \"%1\" was not sent: a UID is a whole number from 0 to 255.");
inline const QString kLineTooLong =
    QStringLiteral("Line %1 of the default screen was not sent: it holds %2 characters, and a "
                   "line of the display holds %3.");
inline const QString kLineHoldsMarker = QStringLiteral(
    "Line %1 of the default screen was not sent: it holds \u201C%2\u201D, whose byte is a frame marker on "
    "the bus and would be taken as a command to every module.");

// Display text.
inline const QString kMarkerRefused = QStringLiteral(
    "\u201C%1\u201D cannot be typed: its byte is a frame marker on the bus (\u00EA, \u00EE, \u00EF and "
    "\u00FE are EA, EE, EF and FE), which would select, release or command modules.");
inline const QString kNoByteRefused =
    QStringLiteral("\u201C%1\u201D cannot be typed: the display has no byte for it.");

} // namespace trivex::texts
