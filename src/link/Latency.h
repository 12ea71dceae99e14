#pragma once

#include <QString>
#include <optional>

// How long a port's adapter holds what it reads before the program sees it, and asking the
// driver to hold it no longer than it must. USB serial adapters send what they read in packets:
// a small read waits for their latency timer (16 ms unless set lower) unless the driver is asked
// for low-latency mode, which the common drivers map to their shortest timer.
namespace trivex::link {

// What a port is taken to hold reads for when it does not say: the longest common latency timer.
constexpr int kDefaultReadHoldMs = 16;

// Whether the device (any path that leads to it) is a USB serial adapter or a USB modem.
bool isUsbSerial(const QString& devicePath);

// The latency timer the adapter's driver reports, in milliseconds (FTDI-like adapters keep it in
// sysfs); none for a device that reports none.
std::optional<int> adapterLatencyMs(const QString& devicePath);

// Low-latency mode asked of the driver of an open serial device: whether it was on before (to
// restore it as it was), whether it is on now, and why not.
struct LowLatency {
    bool asked = false;
    bool wasOn = false;
    QString refused; // empty when it is on
};
LowLatency requestLowLatency(int fd);
void restoreLatency(int fd, const LowLatency& asked);

} // namespace trivex::link
