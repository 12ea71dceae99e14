#include "protocol/Selection.h"

#include "protocol/Markers.h"

namespace trivex::protocol {

Bytes startFrame(std::uint8_t address) {
    return {byteChar(kStartFrame), byteChar(address)};
}

Bytes stopFrame() {
    return Bytes(1, byteChar(kStopFrame));
}

Bytes inputStatusQuery() {
    return {byteChar(kCommandPrefix), byteChar(kInputStatus)};
}

Reply recogniseReply(const Bytes& block, std::uint8_t selectedAddress, int threshold) {
    Reply reply;
    const std::size_t needed = threshold > kAcknowledgeLength ? static_cast<std::size_t>(threshold)
                                                              : static_cast<std::size_t>(kAcknowledgeLength);
    if (block.size() < needed) {
        return reply;
    }
    reply.acknowledged = byteAt(block, 0) == kAcknowledge && byteAt(block, 1) == selectedAddress;
    if (threshold == kInputReplyLength) {
        reply.status = byteAt(block, 2);
    }
    return reply;
}

std::optional<InputLevel> inputLevelOf(std::uint8_t status) {
    if (status == kInputHigh) {
        return InputLevel::High;
    }
    if (status == kInputLow) {
        return InputLevel::Low;
    }
    return std::nullopt;
}

} // namespace trivex::protocol
