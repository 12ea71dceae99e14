// The traffic decoder fed any bytes in either direction: it never crashes, and its parts cover
// the block in order, every byte in exactly one part, each part saying something.

#include "Check.h"
#include "protocol/Decoder.h"

#include <cstdint>

using namespace trivex::protocol;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const Bytes block(reinterpret_cast<const char*>(data + 1), size - 1);
    const Direction direction = data[0] & 1 ? Direction::FromBus : Direction::ToBus;
    const int replyLength = data[0] & 2 ? 3 : 2;
    std::size_t next = 0;
    for (const DecodedPart& part : decode(block, direction, replyLength)) {
        FUZZ_CHECK(part.offset == next && part.length > 0 && !part.meaning.empty());
        next += part.length;
    }
    FUZZ_CHECK(next == block.size());
    FUZZ_CHECK(hexText(block).size() == (block.empty() ? 0 : 3 * block.size() - 1));
    return 0;
}
