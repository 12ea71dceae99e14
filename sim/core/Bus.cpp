#include "sim/core/Bus.h"

#include "protocol/Configuration.h"
#include "protocol/Decoder.h"
#include "protocol/Display.h"
#include "protocol/Markers.h"

#include <algorithm>
#include <cstdio>

namespace trivex::sim {

namespace p = trivex::protocol;

namespace {

std::string number(int value) {
    return std::to_string(value);
}

// Several outcomes of one command, one per module that made something of it.
std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        if (!word.empty() && text.find(word) == std::string::npos) {
            text += (text.empty() ? "" : ", ") + word;
        }
    }
    return text;
}

} // namespace

Bus::Bus(const std::vector<ModuleSettings>& modules, BusOptions options)
    : options_(options) {
    for (const ModuleSettings& settings : modules) {
        modules_.emplace_back(settings);
    }
}

FeedResult Bus::feed(const std::string& bytes, int lineSpeed) {
    FeedResult result;
    lineSpeed_ = lineSpeed;
    if (listeners().empty() && !bytes.empty()) {
        std::string speeds;
        for (const Module& module : modules_) {
            speeds += (speeds.empty() ? "" : ", ") + number(module.settings.lineSpeed);
        }
        result.log.push_back(p::hexText(bytes) + "  line runs at " + number(lineSpeed) +
                             " bit/s, modules listen at " + speeds + ": not understood");
        return result;
    }
    for (unsigned char byte : bytes) {
        const std::size_t answered = result.replies.size();
        take(byte, result);
        if (result.replies.size() > answered) {
            ++frames_;
            for (std::size_t i = answered; i < result.replies.size(); ++i) {
                result.replies[i].frame = frames_;
            }
        }
    }
    flushText(result);
    return result;
}

FeedResult Bus::restartLine() {
    FeedResult result;
    flushText(result);
    if (step_ != Step::Data) {
        log(result, pending_, "cut off: a new client starts on a clean line");
    }
    step_ = Step::Data;
    pending_.clear();
    return result;
}

std::string collide(const std::vector<std::string>& replies, int bitsApart) {
    constexpr int kFrameBits = 10;
    std::vector<bool> line;
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const std::size_t start = i * static_cast<std::size_t>(bitsApart);
        const std::size_t end = start + replies[i].size() * kFrameBits;
        if (line.size() < end) {
            line.resize(end, true);
        }
        for (std::size_t byte = 0; byte < replies[i].size(); ++byte) {
            const auto value = static_cast<unsigned char>(replies[i][byte]);
            const std::size_t at = start + byte * kFrameBits;
            line[at] = false; // start bit; the stop bit leaves the line as it is
            for (int bit = 0; bit < 8; ++bit) {
                line[at + 1 + static_cast<std::size_t>(bit)] =
                    line[at + 1 + static_cast<std::size_t>(bit)] && ((value >> bit) & 1);
            }
        }
    }
    std::string read;
    for (std::size_t at = 0; at < line.size();) {
        if (line[at]) {
            ++at;
            continue;
        }
        unsigned value = 0;
        for (int bit = 0; bit < 8; ++bit) {
            const std::size_t position = at + 1 + static_cast<std::size_t>(bit);
            value |= (position >= line.size() || line[position] ? 1u : 0u) << bit;
        }
        read += static_cast<char>(value);
        at += kFrameBits;
    }
    return read;
}

std::vector<int> Bus::listeners() const {
    std::vector<int> indices;
    for (std::size_t i = 0; i < modules_.size(); ++i) {
        if (modules_[i].settings.lineSpeed == lineSpeed_) {
            indices.push_back(static_cast<int>(i));
        }
    }
    return indices;
}

void Bus::take(std::uint8_t byte, FeedResult& result) {
    switch (step_) {
    case Step::Data:
        if (byte == p::kStartFrame) {
            flushText(result);
            pending_.assign(1, static_cast<char>(byte));
            step_ = Step::Address;
        } else if (byte == p::kStopFrame) {
            flushText(result);
            stopFrame(result);
        } else if (byte == p::kCommandPrefix && context_ != Context::None) {
            flushText(result);
            pending_.assign(1, static_cast<char>(byte));
            step_ = Step::Code;
        } else {
            displayData(byte, result);
        }
        return;
    case Step::Address:
        pending_ += static_cast<char>(byte);
        step_ = Step::Data;
        startFrame(byte, result);
        return;
    case Step::Code:
        pending_ += static_cast<char>(byte);
        if (parameterCount(byte) < 0) {
            log(result, pending_, "skipped");
            step_ = Step::Data;
        } else if (parameterCount(byte) == 0) {
            step_ = Step::Data;
            command(result);
        } else {
            step_ = Step::Parameters;
        }
        return;
    case Step::Parameters:
        pending_ += static_cast<char>(byte);
        if (static_cast<int>(pending_.size()) == 2 + parameterCount(static_cast<std::uint8_t>(pending_[1]))) {
            step_ = Step::Data;
            command(result);
        }
        return;
    }
}

bool Bus::anySelected() const {
    for (int i : listeners()) {
        if (modules_[static_cast<std::size_t>(i)].selected) {
            return true;
        }
    }
    return false;
}

// In a configuration exchange the configuration commands count; a module whose own address is
// the configuration address is selected by it too and takes display commands, whose codes are
// all different.
int Bus::parameterCount(std::uint8_t code) const {
    if (context_ == Context::Configuration && (p::configurationParameterCount(code) >= 0 || !anySelected())) {
        return p::configurationParameterCount(code);
    }
    return p::displayParameterCount(code);
}

void Bus::endConfiguration() {
    for (Module& module : modules_) {
        if (module.configuring && module.pendingLineSpeed != 0) {
            module.settings.lineSpeed = module.pendingLineSpeed;
        }
        module.pendingLineSpeed = 0;
        module.configuring = false;
    }
}

void Bus::startFrame(std::uint8_t address, FeedResult& result) {
    const std::vector<int> hearing = listeners();
    endConfiguration();
    result.stateChanged = true;
    auto acknowledge = [&](int i) {
        result.replies.push_back({{static_cast<char>(p::kAcknowledge), static_cast<char>(address)},
                                  i,
                                  modules_[static_cast<std::size_t>(i)].settings.lineSpeed});
    };
    if (address == p::kConfigurationAddress) {
        context_ = Context::Configuration;
        std::vector<std::string> taking;
        std::string answered;
        for (int i : hearing) {
            Module& module = modules_[static_cast<std::size_t>(i)];
            module.selected = module.settings.address == address;
            module.configuring = true;
            taking.push_back(number(module.settings.address));
            if (module.selected) {
                answered = ", " + number(address) + " selected";
                acknowledge(i);
            }
        }
        log(result, pending_, joined(taking) + " taking configuration commands" + answered);
        return;
    }
    context_ = Context::Lcd;
    std::string outcome = "no module has this address";
    for (int i : hearing) {
        Module& module = modules_[static_cast<std::size_t>(i)];
        const bool wasSelected = module.selected;
        module.selected = module.settings.address == address;
        if (module.selected) {
            outcome = "selected";
            acknowledge(i);
        } else if (wasSelected) {
            result.log.push_back("  " + number(module.settings.address) +
                                 " released by the start frame for another address");
        }
    }
    log(result, pending_, outcome);
}

void Bus::stopFrame(FeedResult& result) {
    std::vector<std::string> released;
    for (int i : listeners()) {
        Module& module = modules_[static_cast<std::size_t>(i)];
        if (module.selected) {
            module.selected = false;
            released.push_back(number(module.settings.address) + " released");
            if (options_.answerStopFrame) {
                result.replies.push_back(
                    {{static_cast<char>(p::kAcknowledge), static_cast<char>(module.settings.address)},
                     i,
                     module.settings.lineSpeed});
            }
        }
    }
    if (context_ == Context::Configuration) {
        released.push_back("end of configuration");
    }
    endConfiguration();
    context_ = Context::None;
    log(result, std::string(1, static_cast<char>(p::kStopFrame)),
        released.empty() ? "nothing was selected" : joined(released));
    result.stateChanged = true;
}

template <class Act> void Bus::handTo(int module, FeedResult& result, const Act& act) {
    Module& target = modules_[static_cast<std::size_t>(module)];
    const std::string before = target.display.lineText(0) + target.display.lineText(1);
    act(target);
    if (before != target.display.lineText(0) + target.display.lineText(1) &&
        std::find(result.changedDisplays.begin(), result.changedDisplays.end(), module) ==
            result.changedDisplays.end()) {
        result.changedDisplays.push_back(module);
    }
}

// A command goes to the modules it is meant for: in a configuration exchange every module taking
// configuration commands, otherwise the selected one.
void Bus::command(FeedResult& result) {
    const auto code = static_cast<std::uint8_t>(pending_[1]);
    const std::string parameters = pending_.substr(2);
    const bool configuration =
        context_ == Context::Configuration && p::configurationParameterCount(code) >= 0;
    std::vector<std::string> outcomes;
    bool taken = false;
    for (int i : listeners()) {
        const Module& module = modules_[static_cast<std::size_t>(i)];
        if (!(configuration ? module.configuring : module.selected)) {
            continue;
        }
        taken = true;
        handTo(i, result, [&](Module& target) {
            const Outcome outcome =
                configuration ? target.configure(code, parameters) : target.command(code, parameters);
            outcomes.push_back(outcome.words);
            result.stateChanged = result.stateChanged || outcome.stateChanged;
            if (!outcome.reply.empty()) {
                result.replies.push_back({outcome.reply, i, target.settings.lineSpeed});
            }
        });
    }
    log(result, pending_,
        taken           ? joined(outcomes)
        : configuration ? "no module takes it"
                        : "none is selected: ignored");
}

void Bus::displayData(std::uint8_t byte, FeedResult& result) {
    if (context_ == Context::None || (context_ == Context::Configuration && !anySelected())) {
        text_ += static_cast<char>(byte);
        return;
    }
    const bool control = byte == p::kClearDisplay || byte == p::kLineBreak;
    if (control) {
        flushText(result);
    }
    bool acted = false;
    for (int i : listeners()) {
        if (modules_[static_cast<std::size_t>(i)].selected) {
            acted = true;
            handTo(i, result, [byte](Module& module) { module.take(byte); });
        }
    }
    if (!control) {
        text_ += static_cast<char>(byte);
    } else {
        log(result, std::string(1, static_cast<char>(byte)), acted ? "" : "no module is selected: ignored");
    }
}

void Bus::flushText(FeedResult& result) {
    if (text_.empty()) {
        return;
    }
    const std::string outcome = context_ == Context::Configuration && !anySelected()
                                    ? "unexpected in a configuration exchange: skipped"
                                : context_ == Context::None || !anySelected()
                                    ? "no module is selected: ignored"
                                    : "";
    log(result, text_, outcome);
    text_.clear();
}

void Bus::log(FeedResult& result, const std::string& bytes, const std::string& outcome) {
    result.log.push_back(p::hexText(bytes) + "  " + p::describe(bytes, p::Direction::ToBus) +
                         (outcome.empty() ? "" : " -> " + outcome));
}

} // namespace trivex::sim
