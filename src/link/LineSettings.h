#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>

namespace trivex::link {

// The "baud,parity,data,stop" form of a port's line settings, as in "9600,n,8,1".
struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// Rates a Linux serial driver sets without custom divisors; parity n, e, o, m or s in either
// case; 5 to 8 data bits; 1 or 2 stop bits. Blanks around each field are ignored. Anything
// else gives no value.
std::optional<LineSettings> parseLineSettings(const QString& text);

// A port number as the settings file or an operator gives it: a whole number 1 to 255 or "COM"
// followed by one ("3", "03", "COM3", "com3"), blanks ignored. The one rule for port numbers.
std::optional<int> parseCommPort(const QString& text);

} // namespace trivex::link
