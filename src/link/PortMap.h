#pragma once

#include "link/Devices.h"

#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// The COM numbers the program offers, and the devices they stand for.
namespace trivex::link {

// The COM numbers the program offers.
constexpr int kComNumbers = 7;

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

} // namespace trivex::link
