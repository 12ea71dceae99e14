#include "link/CaptureFile.h"

#include "protocol/Capture.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace trivex::link {

namespace {

// A capture of some hours of a busy bus; a larger file is no capture of ours.
constexpr qint64 kMaxCaptureBytes = 1024LL * 1024 * 1024;

std::string application() {
    return QStringLiteral("%1 %2")
        .arg(QCoreApplication::applicationName(), QStringLiteral(TRIVEX_VERSION))
        .toStdString();
}

protocol::Bytes packets(const std::vector<protocol::BusFrame>& frames) {
    protocol::Bytes out;
    for (const protocol::BusFrame& frame : frames) {
        out += protocol::capture::packet({frame.micros, frame.direction, frame.bytes});
    }
    return out;
}

} // namespace

QString CaptureWriter::open(const QString& path, int speed) {
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return file_.errorString();
    }
    const protocol::Bytes header =
        protocol::capture::header(protocol::capture::describeBus(speed), application());
    if (file_.write(header.data(), static_cast<qint64>(header.size())) !=
            static_cast<qint64>(header.size()) ||
        !file_.flush()) {
        const QString why = file_.errorString();
        file_.close();
        return why;
    }
    return {};
}

QString CaptureWriter::append(const std::vector<protocol::BusFrame>& frames) {
    const protocol::Bytes bytes = packets(frames);
    if (bytes.empty()) {
        return {};
    }
    if (file_.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file_.flush()) {
        return file_.errorString();
    }
    return {};
}

QByteArray captureBytes(const std::vector<protocol::BusFrame>& frames, int speed) {
    return QByteArray::fromStdString(
        protocol::capture::header(protocol::capture::describeBus(speed), application()) + packets(frames));
}

std::optional<CaptureContents> readCaptureFile(const QString& path, QString* why) {
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        *why = QFileInfo::exists(path) ? QStringLiteral("it is no regular file")
                                       : QStringLiteral("there is no such file");
        return std::nullopt;
    }
    if (file.size() > kMaxCaptureBytes || !file.open(QIODevice::ReadOnly)) {
        *why = file.isOpen() ? QStringLiteral("it is larger than 1 GiB") : file.errorString();
        return std::nullopt;
    }
    std::string problem;
    const QByteArray data = file.readAll();
    const auto capture = protocol::capture::read(data.toStdString(), &problem);
    if (!capture) {
        *why = QString::fromStdString(problem);
        return std::nullopt;
    }
    CaptureContents contents;
    contents.description = QString::fromStdString(capture->description);
    contents.speed = protocol::capture::speedOf(capture->description);
    protocol::BusReader reader;
    for (const protocol::capture::Packet& packet : capture->packets) {
        for (protocol::BusFrame& frame : reader.feed(packet.bytes, packet.micros)) {
            contents.frames.push_back(std::move(frame));
        }
    }
    const std::int64_t end = capture->packets.empty() ? 0 : capture->packets.back().micros;
    for (protocol::BusFrame& frame : reader.finish(end)) {
        contents.frames.push_back(std::move(frame));
    }
    return contents;
}

} // namespace trivex::link
