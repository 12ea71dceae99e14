#pragma once

#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// The serial devices of this machine, what keeps one from serving as the port, and the COM
// numbers they stand for.
namespace trivex::link {

// The COM numbers the program offers.
constexpr int kComNumbers = 7;

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

// Free COM numbers for the devices that no key names. An on-board port /dev/ttyS(n-1) that is
// present holds COM n; a number with a key (keyed: COM n to the device it names) is taken. The
// other devices get the free numbers 1 to 7, lowest first, in the order of their names, so that
// a device keeps its number as long as the set of devices stays the same.
std::map<int, SerialDevice> assignComNumbers(const std::vector<SerialDevice>& devices,
                                             const std::map<int, QString>& keyed);

// What COM n stands for, and where that comes from.
struct PortChoice {
    enum class Origin { Keyed, Found, Default };
    int number = 0;
    QString device; // empty for a found device that is away
    Origin origin = Origin::Default;
    std::optional<SerialDevice> info; // for a device that is present
};

// What a port's device is, so that it is known again after it went away and came back (in
// another socket, under another kernel name): an adapter found on this machine by its stable
// /dev/serial/by-id name, or without one by its USB socket, vendor, product and serial number;
// a path the operator named (or an on-board port) is its own identity.
struct DeviceIdentity {
    QString path; // the path that is the identity; empty for an adapter known by what it is
    SerialDevice adapter;

    // The identity of the device a choice stands for.
    static DeviceIdentity of(const PortChoice& choice);
    bool isEmpty() const {
        return path.isEmpty() && adapter.stablePath.isEmpty() && adapter.usbPath.isEmpty();
    }
    bool matches(const SerialDevice& device) const;
    // The path the device has now among devices; empty when it is not there.
    QString locate(const std::vector<SerialDevice>& devices) const;
    // For the operator: the path, or the adapter's name with maker and serial number.
    QString describe() const;

    bool operator==(const DeviceIdentity& other) const {
        return path == other.path && adapter.stablePath == other.adapter.stablePath &&
               adapter.usbPath == other.adapter.usbPath && adapter.vendorId == other.adapter.vendorId &&
               adapter.productId == other.adapter.productId &&
               adapter.serialNumber == other.adapter.serialNumber;
    }
};

// COM numbers resolved against the keys of the settings ([Ports] COMn) and the devices present.
// A number pinned to a device stands for that device for the rest of the run, present or not:
// no other device takes its number while it is away.
class PortMap {
public:
    using KeyReader = std::function<QString(int)>;
    explicit PortMap(KeyReader keys);

    PortChoice choice(int number) const;

    void pin(int number, const DeviceIdentity& identity);

private:
    KeyReader keys_;
    std::map<int, DeviceIdentity> pinned_;
};

// Why a device cannot serve as a serial port just now, as the end of a sentence that starts with
// its path ("is not present", "is a plain file, not a serial port", "cannot be opened:
// permission denied ..."); empty when it is worth opening.
QString deviceProblem(const QString& path);

// Why a device that exists could not be opened because another program holds it: "is busy:
// another program has it open", naming that program where its lock file says.
QString busyReason(const QString& path);
// The same for a device another program holds an advisory lock (flock) on, naming the program.
QString lockedReason(const QString& path);

// Why a terminal may not be taken as a port: it is the controlling terminal of a session (a
// login, a shell's terminal, a serial console with a getty), named with its session leader;
// empty for any other device. Asks without touching the terminal's line settings.
QString sessionTerminalProblem(const QString& path);

} // namespace trivex::link
