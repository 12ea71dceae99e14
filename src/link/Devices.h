#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

// The serial devices of this machine.
namespace trivex::link {

struct SerialDevice {
    QString path;       // as the kernel names it: /dev/ttyUSB0
    QString stablePath; // /dev/serial/by-id/..., the same in any USB socket; empty where there is none
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString usbPath;      // the USB socket it is plugged into ("1-1.2"); empty for other devices
    quint16 vendorId = 0; // USB vendor and product, 0 where unknown
    quint16 productId = 0;

    // The path a COM number is given: the stable one where there is one.
    QString name() const { return stablePath.isEmpty() ? path : stablePath; }
    // Maker, product and serial number, as far as they are known ("FTDI FT232R USB UART, serial
    // A50285BI"); empty when none is.
    QString summary() const;
};

// The serial devices present: USB and ACM adapters and on-board ports with a UART behind them,
// as QSerialPortInfo finds them (read again only when /dev or udev has changed).
std::vector<SerialDevice> systemDevices();
// Starts a reading on a thread of its own, for a program to call first thing: its windows are
// built meanwhile, and the first to ask finds the reading done or waits for the rest of it.
void readDevicesAhead();

// Where the devices come from; tests give tables of their own.
using DeviceSource = std::function<std::vector<SerialDevice>()>;
void setDeviceSource(DeviceSource source);
std::vector<SerialDevice> presentDevices();

// The device COM n stands for when nothing else names one.
QString defaultDevicePath(int commPort);

// The number n of /dev/ttySn, the on-board ports; no value for any other device.
std::optional<int> onBoardIndex(const QString& path);
// Whether an on-board port is one the kernel found no UART for: it opens, and goes nowhere.
bool hasNoUart(const QString& path);

} // namespace trivex::link
