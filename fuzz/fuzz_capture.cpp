// Capture files of any bytes: reading one never crashes, a capture read is written back to the
// same packets, and the bus reader, fed its packets, hands every byte on once, in order.

#include "Check.h"
#include "protocol/BusReader.h"
#include "protocol/Capture.h"

#include <cstdint>

using namespace trivex::protocol;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes file(reinterpret_cast<const char*>(data), size);
    std::string why;
    const auto capture = capture::read(file, &why);
    if (!capture) {
        FUZZ_CHECK(!why.empty());
        return 0;
    }
    Bytes again = capture::header(capture->description, "fuzz");
    Bytes heard;
    for (const capture::Packet& packet : capture->packets) {
        again += capture::packet(packet);
        heard += packet.bytes;
    }
    const auto reread = capture::read(again, &why);
    FUZZ_CHECK(reread && reread->packets.size() == capture->packets.size());
    for (std::size_t i = 0; i < reread->packets.size(); ++i) {
        const capture::Packet& a = capture->packets[i];
        const capture::Packet& b = reread->packets[i];
        FUZZ_CHECK(a.bytes == b.bytes && a.direction == b.direction && a.micros == b.micros);
    }
    BusReader reader;
    Bytes told;
    std::int64_t last = 0;
    for (const capture::Packet& packet : capture->packets) {
        for (const BusFrame& frame : reader.feed(packet.bytes, packet.micros)) {
            FUZZ_CHECK(!frame.bytes.empty() && !frame.meaning.empty());
            told += frame.bytes;
        }
        last = packet.micros;
    }
    for (const BusFrame& frame : reader.finish(last)) {
        told += frame.bytes;
    }
    FUZZ_CHECK(told == heard);
    return 0;
}
