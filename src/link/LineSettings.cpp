#include "link/LineSettings.h"

#include "protocol/Text.h"

#include <QStringList>
#include <algorithm>
#include <array>

namespace trivex::link {

namespace {

constexpr std::array<qint32, 12> kBaudRates{110,  300,   600,   1200,  2400,   4800,
                                            9600, 19200, 38400, 57600, 115200, 230400};

std::optional<QSerialPort::Parity> parityOf(const QString& field) {
    if (field.size() != 1) {
        return std::nullopt;
    }
    switch (field.at(0).toLower().unicode()) {
    case 'n':
        return QSerialPort::NoParity;
    case 'e':
        return QSerialPort::EvenParity;
    case 'o':
        return QSerialPort::OddParity;
    case 'm':
        return QSerialPort::MarkParity;
    case 's':
        return QSerialPort::SpaceParity;
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<LineSettings> parseLineSettings(const QString& text) {
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4) {
        return std::nullopt;
    }
    bool ok = false;
    const qint32 baud = fields[0].trimmed().toInt(&ok);
    if (!ok || std::find(kBaudRates.begin(), kBaudRates.end(), baud) == kBaudRates.end()) {
        return std::nullopt;
    }
    const auto parity = parityOf(fields[1].trimmed());
    const int data = fields[2].trimmed().toInt(&ok);
    if (!parity || !ok || data < 5 || data > 8) {
        return std::nullopt;
    }
    const QString stop = fields[3].trimmed();
    if (stop != QLatin1String("1") && stop != QLatin1String("2")) {
        return std::nullopt;
    }
    LineSettings settings;
    settings.baudRate = baud;
    settings.parity = *parity;
    settings.dataBits = static_cast<QSerialPort::DataBits>(data);
    settings.stopBits = stop == QLatin1String("1") ? QSerialPort::OneStop : QSerialPort::TwoStop;
    return settings;
}

std::optional<int> parseCommPort(const QString& text) {
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        digits = digits.mid(3);
    }
    const auto number = protocol::parseByte(digits.toStdString());
    if (!number || *number == 0) {
        return std::nullopt;
    }
    return *number;
}

} // namespace trivex::link
