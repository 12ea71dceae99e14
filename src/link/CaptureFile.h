#pragma once

#include "protocol/BusReader.h"

#include <QFile>
#include <QString>
#include <optional>
#include <vector>

// Captures of the bus as files: written as they are made, a packet per frame, and read back as
// the listening monitor reads the bus.
namespace trivex::link {

class CaptureWriter {
public:
    // Creates (or replaces) the file at path with the header of a bus at speed bit/s (0: the
    // server's); why not, or empty.
    QString open(const QString& path, int speed);
    // Appends the frames, each a packet, and hands them to the disk; why not, or empty.
    QString append(const std::vector<protocol::BusFrame>& frames);
    bool isOpen() const { return file_.isOpen(); }

private:
    QFile file_;
};

struct CaptureContents {
    QString description; // of the bus: its line speed
    int speed = 0;
    std::vector<protocol::BusFrame> frames;
};

// A capture file's frames, read from its packets as the listening monitor reads the bus; none,
// with *why, for a file that is no capture of this bus.
std::optional<CaptureContents> readCaptureFile(const QString& path, QString* why);

// A whole capture as a file's bytes.
QByteArray captureBytes(const std::vector<protocol::BusFrame>& frames, int speed);

} // namespace trivex::link
