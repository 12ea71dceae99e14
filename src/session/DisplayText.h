#pragma once

#include "protocol/Bytes.h"
#include "protocol/Configuration.h"

#include <QString>
#include <optional>

// Text for the display as the windows and the command line check and send it.
namespace trivex::session {

// Why text cannot go to the display as typed: the first character that may not be typed there
// (a frame marker, or one without a byte of the display), or a line longer than the display's;
// empty when it can.
QString displayTextRefusal(const QString& text);

// Why line n (1 or 2) of a default screen is not sent: longer than a line of the display, or
// holding a frame marker; empty when it is sent.
QString defaultScreenRefusal(int n, const QString& text);

// A default-screen line as sent: filled with spaces to a full line, never shortened, and every
// character without a byte of its own shown as the byte it becomes.
QString lineAsSent(const QString& text);

// The configuration command that makes two lines the default screen, each as lineAsSent gives
// it; none, with *why, when a line is refused.
std::optional<protocol::ConfigurationCommand> defaultScreenCommand(const QString& line1, const QString& line2,
                                                                   QString* why);

// The text message that shows two lines, as "Send Text" sends it; none when both are empty.
std::optional<protocol::Bytes> textMessage(const QString& line1, const QString& line2);

} // namespace trivex::session
