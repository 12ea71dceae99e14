// Reply recognition with any block, threshold and address.

#include "Check.h"
#include "protocol/Markers.h"
#include "protocol/Selection.h"

#include <cstdint>
#include <string>

using namespace trivex::protocol;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint8_t address = data[0];
    const int threshold = data[1] % 5; // 0 to 4, beyond the two the program uses
    const Bytes block(reinterpret_cast<const char*>(data + 2), size - 2);
    const Reply reply = recogniseReply(block, address, threshold);
    const std::size_t needed = threshold > 2 ? static_cast<std::size_t>(threshold) : 2;
    if (block.size() < needed) {
        FUZZ_CHECK(!reply.acknowledged && !reply.status);
        return 0;
    }
    FUZZ_CHECK(reply.acknowledged == (byteAt(block, 0) == kAcknowledge && byteAt(block, 1) == address));
    FUZZ_CHECK(reply.status.has_value() == (threshold == kInputReplyLength));
    if (reply.status) {
        FUZZ_CHECK(*reply.status == byteAt(block, 2));
        const auto level = inputLevelOf(*reply.status);
        FUZZ_CHECK(level.has_value() == (*reply.status == kInputHigh || *reply.status == kInputLow));
    }
    return 0;
}
