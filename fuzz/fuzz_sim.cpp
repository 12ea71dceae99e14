// The virtual module fed any bytes at either line speed: it never crashes, its cursor stays on
// the display, and every reply is an acknowledge of a module on the bus.

#include "Check.h"
#include "protocol/Markers.h"
#include "sim/core/Bus.h"

#include <cstdint>
#include <string>

using namespace trivex::sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ModuleSettings second;
    second.address = 102;
    second.lineSpeed = 4800;
    Bus bus({ModuleSettings{}, second}, BusOptions{size > 0 && (data[0] & 1)});
    std::size_t at = 0;
    while (at < size) {
        // Chunks of 1 to 16 bytes, each at the speed its first byte picks.
        const std::size_t length = 1 + data[at] % 16;
        const int speed = data[at] & 0x10 ? 4800 : 9600;
        const std::string chunk(reinterpret_cast<const char*>(data + at), std::min(length, size - at));
        at += chunk.size();
        const FeedResult result = bus.feed(chunk, speed);
        for (const Reply& reply : result.replies) {
            FUZZ_CHECK(reply.bytes.size() >= 2 &&
                       static_cast<std::uint8_t>(reply.bytes[0]) == trivex::protocol::kAcknowledge);
            FUZZ_CHECK(reply.module >= 0 && reply.module < 2);
        }
        for (const Module& module : bus.modules()) {
            FUZZ_CHECK(module.display.cursorRow >= 0 && module.display.cursorRow < Lcd::kRows);
            FUZZ_CHECK(module.display.cursorColumn >= 0 && module.display.cursorColumn < Lcd::kColumns);
            FUZZ_CHECK(module.display.lineText(0).size() >= 16 && module.display.lineText(1).size() >= 16);
        }
    }
    return 0;
}
