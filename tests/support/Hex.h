#pragma once

#include <QByteArray>
#include <string>

namespace trivex::test {

// Bytes from readable hex: "EF 64" is two bytes, "20*11" is eleven bytes 0x20.
std::string hex(const char* text);

// The readable form of bytes, for failure messages: "EF 64".
QByteArray toHex(const std::string& bytes);

} // namespace trivex::test
