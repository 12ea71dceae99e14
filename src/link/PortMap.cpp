#include "link/PortMap.h"

#include <QFileInfo>
#include <algorithm>
#include <set>

namespace trivex::link {

std::map<int, SerialDevice> assignComNumbers(const std::vector<SerialDevice>& devices,
                                             const std::map<int, QString>& keyed) {
    std::map<int, SerialDevice> assigned;
    std::set<int> taken;
    for (const auto& entry : keyed) {
        taken.insert(entry.first);
    }
    std::vector<SerialDevice> waiting;
    for (const SerialDevice& device : devices) {
        const bool named = std::any_of(keyed.begin(), keyed.end(), [&](const auto& key) {
            return key.second == device.path ||
                   (!device.stablePath.isEmpty() && key.second == device.stablePath);
        });
        const std::optional<int> index = onBoardIndex(device.path);
        if (named) {
            continue;
        }
        if (index && *index < kComNumbers && !taken.count(*index + 1)) {
            taken.insert(*index + 1); // an on-board port with a UART holds its own number
            continue;
        }
        waiting.push_back(device);
    }
    std::sort(waiting.begin(), waiting.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.name() < b.name(); });
    int number = 1;
    for (const SerialDevice& device : waiting) {
        while (number <= kComNumbers && taken.count(number)) {
            ++number;
        }
        if (number > kComNumbers) {
            break;
        }
        assigned[number++] = device;
    }
    return assigned;
}

DeviceIdentity DeviceIdentity::of(const PortChoice& choice) {
    DeviceIdentity identity;
    if (choice.origin == PortChoice::Origin::Found && choice.info &&
        (!choice.info->stablePath.isEmpty() || !choice.info->usbPath.isEmpty())) {
        identity.adapter = *choice.info;
    } else {
        identity.path = choice.device;
    }
    return identity;
}

bool DeviceIdentity::matches(const SerialDevice& device) const {
    if (!path.isEmpty()) {
        return device.path == path || device.stablePath == path;
    }
    if (!adapter.stablePath.isEmpty()) {
        return device.stablePath == adapter.stablePath;
    }
    return device.usbPath == adapter.usbPath && device.vendorId == adapter.vendorId &&
           device.productId == adapter.productId && device.serialNumber == adapter.serialNumber;
}

QString DeviceIdentity::locate(const std::vector<SerialDevice>& devices) const {
    if (!path.isEmpty()) {
        return path;
    }
    for (const SerialDevice& device : devices) {
        if (matches(device)) {
            return device.name();
        }
    }
    return {};
}

QString DeviceIdentity::describe() const {
    if (!path.isEmpty()) {
        return path;
    }
    QString text = adapter.stablePath.isEmpty() ? QStringLiteral("the USB adapter %1:%2 in USB socket %3")
                                                      .arg(adapter.vendorId, 4, 16, QLatin1Char('0'))
                                                      .arg(adapter.productId, 4, 16, QLatin1Char('0'))
                                                      .arg(adapter.usbPath)
                                                : adapter.stablePath;
    if (const QString summary = adapter.summary(); !summary.isEmpty()) {
        text += QStringLiteral(" (%1)").arg(summary);
    }
    return text;
}

PortMap::PortMap(KeyReader keys)
    : keys_(std::move(keys)) {
}

void PortMap::pin(int number, const DeviceIdentity& identity) {
    if (identity.path.isEmpty() && !identity.isEmpty()) {
        pinned_[number] = identity;
    }
}

PortChoice PortMap::choice(int number) const {
    PortChoice choice;
    choice.number = number;
    const QString key = keys_(number).trimmed();
    auto describe = [&](const QString& path, const std::vector<SerialDevice>& devices) {
        for (const SerialDevice& device : devices) {
            if (device.path == path || device.stablePath == path) {
                choice.info = device;
            }
        }
    };
    if (!key.isEmpty()) {
        choice.origin = PortChoice::Origin::Keyed;
        choice.device = key;
        // A path that is not there is no device present: the devices need not be listed.
        if (QFileInfo::exists(key)) {
            describe(key, presentDevices());
        }
        return choice;
    }
    const std::vector<SerialDevice> devices = presentDevices();
    if (const auto pin = pinned_.find(number); pin != pinned_.end()) {
        // Its device, wherever it is now; while it is away, no other device.
        choice.origin = PortChoice::Origin::Found;
        const auto present = std::find_if(devices.begin(), devices.end(), [&](const SerialDevice& device) {
            return pin->second.matches(device);
        });
        if (present != devices.end()) {
            choice.device = present->name();
            choice.info = *present;
        } else {
            choice.device = pin->second.adapter.stablePath;
        }
        return choice;
    }
    std::map<int, QString> keyed;
    for (int n = 1; n <= kComNumbers; ++n) {
        if (const QString other = keys_(n).trimmed(); !other.isEmpty()) {
            keyed[n] = other;
        } else if (const auto pin = pinned_.find(n); pin != pinned_.end()) {
            keyed[n] = pin->second.locate(devices); // its device gets no second number
        }
    }
    const std::map<int, SerialDevice> assigned = assignComNumbers(devices, keyed);
    if (const auto found = assigned.find(number); found != assigned.end()) {
        choice.origin = PortChoice::Origin::Found;
        choice.device = found->second.name();
        choice.info = found->second;
        return choice;
    }
    choice.device = defaultDevicePath(number);
    describe(choice.device, devices);
    return choice;
}

} // namespace trivex::link
