#include "protocol/BusReader.h"

#include "protocol/Configuration.h"
#include "protocol/Display.h"
#include "protocol/Markers.h"

namespace trivex::protocol {

namespace {

bool isMarker(std::uint8_t byte) {
    return byte == kStartFrame || byte == kStopFrame || byte == kCommandPrefix || byte == kAcknowledge;
}

// The parameter bytes of a command code, of either exchange (their codes differ); -1 for none.
int parameterCount(std::uint8_t code) {
    const int display = displayParameterCount(code);
    return display >= 0 ? display : configurationParameterCount(code);
}

} // namespace

std::vector<BusFrame> BusReader::feed(const Bytes& bytes, std::int64_t micros) {
    std::vector<BusFrame> out = passTime(micros);
    for (const char byte : bytes) {
        take(static_cast<std::uint8_t>(byte), micros);
    }
    std::vector<BusFrame> released = release();
    out.insert(out.end(), released.begin(), released.end());
    return out;
}

std::vector<BusFrame> BusReader::passTime(std::int64_t micros) {
    if ((partialIsText_ || partialIsGarbage_) && micros - lastByteMicros_ >= kTextQuietMicros) {
        complete();
    }
    if (heldAt_ && micros - queue_[*heldAt_].micros > kReplyWindowMicros) {
        resolve(false);
    }
    return release();
}

std::vector<BusFrame> BusReader::finish(std::int64_t micros) {
    std::vector<BusFrame> out = passTime(micros);
    if (!partial_.empty()) {
        if (partialIsText_ || partialIsGarbage_) {
            complete();
        } else { // a frame the bytes ended in
            BusFrame frame;
            frame.micros = partialMicros_;
            frame.direction = byteAt(partial_, 0) == kAcknowledge ? Direction::FromBus : Direction::ToBus;
            frame.bytes = partial_;
            frame.meaning = describe(partial_, frame.direction);
            frame.flags.push_back(flag::kNoFrame);
            partial_.clear();
            add(frame, false);
        }
    }
    heldAt_.reset(); // its window had not passed when the bytes ended
    std::vector<BusFrame> rest = release();
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

int BusReader::expectedLength() const {
    switch (byteAt(partial_, 0)) {
    case kAcknowledge:
        return waiting_ == Waiting::InputReply ? kInputReplyLength : kAcknowledgeLength;
    case kStartFrame:
        return 2;
    case kCommandPrefix:
        return partial_.size() < 2 ? 2 : 2 + std::max(0, parameterCount(byteAt(partial_, 1)));
    default:
        return 1;
    }
}

void BusReader::take(std::uint8_t byte, std::int64_t micros) {
    lastByteMicros_ = micros;
    if (!partial_.empty()) {
        if (!partialIsText_ && !partialIsGarbage_) {
            partial_ += static_cast<char>(byte);
            if (static_cast<int>(partial_.size()) >= expectedLength()) {
                complete();
            }
            return;
        }
        if (!isMarker(byte)) {
            partial_ += static_cast<char>(byte); // the run goes on
            return;
        }
        complete();
    }
    partial_.assign(1, static_cast<char>(byte));
    partialMicros_ = micros;
    // Display data where a reply is awaited is what the modules made of their reply.
    partialIsGarbage_ = !isMarker(byte) && waiting_ != Waiting::None;
    partialIsText_ = !isMarker(byte) && waiting_ == Waiting::None;
    if (byte == kStopFrame) {
        complete();
    }
}

void BusReader::complete() {
    if (partialIsGarbage_) {
        BusFrame frame;
        frame.micros = partialMicros_;
        frame.direction = Direction::FromBus;
        frame.bytes = partial_;
        frame.meaning = describe(partial_, Direction::FromBus);
        frame.flags.push_back(flag::kGarbled);
        waiting_ = Waiting::None;
        add(frame, false);
        resolve(true);
    } else if (byteAt(partial_, 0) == kAcknowledge) {
        completeReply();
    } else {
        completeControl();
    }
    partial_.clear();
    partialIsText_ = false;
    partialIsGarbage_ = false;
}

void BusReader::completeReply() {
    BusFrame frame;
    frame.micros = partialMicros_;
    frame.direction = Direction::FromBus;
    frame.bytes = partial_;
    const bool input = waiting_ == Waiting::InputReply;
    frame.meaning = describe(partial_, Direction::FromBus, input ? kInputReplyLength : kAcknowledgeLength);
    if (waiting_ == Waiting::None) {
        frame.flags.push_back(flag::kNoFrame); // a reply nobody asked for
        add(frame, false);
        return;
    }
    const int address = byteAt(partial_, 1);
    if (address != calledAddress_) {
        frame.flags.push_back(flag::kOtherAddress + std::to_string(calledAddress_) + ")");
    } else if (!input) {
        selected_ = address;
    }
    waiting_ = Waiting::None;
    add(frame, false);
    resolve(true);
}

void BusReader::completeControl() {
    BusFrame frame;
    frame.micros = partialMicros_;
    frame.direction = Direction::ToBus;
    frame.bytes = partial_;
    frame.meaning = describe(partial_, Direction::ToBus);
    const std::uint8_t first = byteAt(partial_, 0);
    if (first == kStartFrame) {
        resolve(false); // a start frame still waiting got no answer before this one
        const int address = byteAt(partial_, 1);
        // Configuration begun without the module selected before released first.
        selectedBeforeConfig_ = address == kConfigurationAddress ? selected_ : std::nullopt;
        configuring_ = address == kConfigurationAddress;
        selected_.reset(); // a start frame for another address releases it
        waiting_ = Waiting::Acknowledge;
        calledAddress_ = address;
        // A configuration command awaits no acknowledge: only a module at the configuration
        // address gives one.
        add(frame, !configuring_);
        return;
    }
    if (first == kStopFrame) {
        resolve(false);
        waiting_ = Waiting::None;
        selected_.reset();
        selectedBeforeConfig_.reset();
        configuring_ = false;
        add(frame, false);
        return;
    }
    if (first == kCommandPrefix) {
        if (!heldAt_) {
            waiting_ = Waiting::None; // an acknowledge nobody waits for is no longer due
        }
        const std::uint8_t code = byteAt(partial_, 1);
        if (parameterCount(code) < 0) {
            frame.flags.push_back(flag::kNoFrame);
        } else if (configuring_ && configurationParameterCount(code) >= 0 && selectedBeforeConfig_) {
            frame.flags.push_back(flag::kConfigurationWhileSelected + std::to_string(*selectedBeforeConfig_) +
                                  " is selected");
        }
        if (code == kInputStatus) {
            resolve(false);
            waiting_ = Waiting::InputReply;
            calledAddress_ = selected_.value_or(-1);
            add(frame, true);
            return;
        }
    }
    add(frame, false);
}

void BusReader::add(BusFrame frame, bool holds) {
    frame.gapMicros = lastFrameMicros_ < 0 ? -1 : frame.micros - lastFrameMicros_;
    lastFrameMicros_ = frame.micros;
    queue_.push_back(std::move(frame));
    if (holds) {
        heldAt_ = queue_.size() - 1;
    }
}

void BusReader::resolve(bool answered) {
    if (!heldAt_) {
        return;
    }
    if (!answered) {
        queue_[*heldAt_].flags.push_back(flag::kNoAcknowledge);
        waiting_ = Waiting::None;
    }
    heldAt_.reset();
}

std::vector<BusFrame> BusReader::release() {
    const std::size_t count = heldAt_ ? *heldAt_ : queue_.size();
    std::vector<BusFrame> out(std::make_move_iterator(queue_.begin()),
                              std::make_move_iterator(queue_.begin() + static_cast<std::ptrdiff_t>(count)));
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count));
    if (heldAt_) {
        heldAt_ = *heldAt_ - count;
    }
    return out;
}

} // namespace trivex::protocol
