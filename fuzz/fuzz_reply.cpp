// Reply recognition with any block, threshold and address.

#include "Check.h"
#include "protocol/Markers.h"
#include "protocol/Selection.h"

#include <algorithm>
#include <cstdint>
#include <optional>
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
    // Read independently of the rule's own code: a block of at least the threshold's length
    // (two bytes at least) that begins with the selected module's acknowledge; its third byte is
    // the status while three bytes are awaited.
    const std::string acknowledge{static_cast<char>(kAcknowledge), static_cast<char>(address)};
    const bool whole = block.size() >= static_cast<std::size_t>(std::max(threshold, 2));
    FUZZ_CHECK(reply.acknowledged == (whole && block.compare(0, 2, acknowledge) == 0));
    const bool status = whole && threshold == 3;
    FUZZ_CHECK(reply.status ==
               (status ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(block[2])) : std::nullopt));
    return 0;
}
