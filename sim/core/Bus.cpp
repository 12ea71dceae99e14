#include "sim/core/Bus.h"

#include "protocol/Configuration.h"
#include "protocol/Display.h"
#include "protocol/Markers.h"

#include <algorithm>
#include <cstdio>

namespace trivex::sim {

namespace p = trivex::protocol;

namespace {

std::string hexOf(const std::string& bytes) {
    std::string text;
    char part[4];
    for (unsigned char byte : bytes) {
        std::snprintf(part, sizeof part, text.empty() ? "%02X" : " %02X", byte);
        text += part;
    }
    return text;
}

std::string quoted(const std::string& bytes) {
    std::string text = "\"";
    char part[8];
    for (unsigned char byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            text += static_cast<char>(byte);
        } else {
            std::snprintf(part, sizeof part, "\\x%02X", byte);
            text += part;
        }
    }
    return text + "\"";
}

std::string number(int value) {
    return std::to_string(value);
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
        log(result, bytes,
            "line runs at " + number(lineSpeed) + " bit/s, modules listen at " + speeds + ": not understood");
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
            log(result, pending_, "unknown command, skipped");
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
    std::string outcome;
    if (address == p::kConfigurationAddress) {
        context_ = Context::Configuration;
        std::string answered;
        for (int i : hearing) {
            Module& module = modules_[static_cast<std::size_t>(i)];
            module.selected = module.settings.address == address;
            module.configuring = true;
            outcome += (outcome.empty() ? " -> " : ", ") + number(module.settings.address);
            if (module.selected) {
                answered = ", " + number(address) + " selected";
                result.replies.push_back({{static_cast<char>(p::kAcknowledge), static_cast<char>(address)},
                                          i,
                                          module.settings.lineSpeed});
            }
        }
        log(result, pending_,
            "start frame 100 (configuration)" + outcome + " taking configuration commands" + answered);
        result.stateChanged = true;
        return;
    }
    context_ = Context::Lcd;
    for (int i : hearing) {
        Module& module = modules_[static_cast<std::size_t>(i)];
        const bool wasSelected = module.selected;
        module.selected = module.settings.address == address;
        if (module.selected) {
            outcome = " -> selected";
            result.replies.push_back({{static_cast<char>(p::kAcknowledge), static_cast<char>(address)},
                                      i,
                                      module.settings.lineSpeed});
        } else if (wasSelected) {
            log(result, "",
                number(module.settings.address) + " released by the start frame for another address");
        }
    }
    log(result, pending_,
        "start frame " + number(address) + (outcome.empty() ? " -> no module has this address" : outcome));
    result.stateChanged = true;
}

void Bus::stopFrame(FeedResult& result) {
    std::string outcome;
    for (int i : listeners()) {
        Module& module = modules_[static_cast<std::size_t>(i)];
        if (module.selected) {
            module.selected = false;
            outcome += " -> " + number(module.settings.address) + " released";
            if (options_.answerStopFrame) {
                result.replies.push_back(
                    {{static_cast<char>(p::kAcknowledge), static_cast<char>(module.settings.address)},
                     i,
                     module.settings.lineSpeed});
            }
        }
    }
    if (context_ == Context::Configuration) {
        outcome += " -> end of configuration";
    }
    endConfiguration();
    context_ = Context::None;
    log(result, std::string(1, static_cast<char>(p::kStopFrame)),
        "stop frame" + (outcome.empty() ? std::string(" -> nothing was selected") : outcome));
    result.stateChanged = true;
}

void Bus::command(FeedResult& result) {
    if (context_ == Context::Configuration &&
        p::configurationParameterCount(static_cast<std::uint8_t>(pending_[1])) >= 0) {
        configurationCommand(result);
    } else {
        displayCommand(result);
    }
}

void Bus::displayCommand(FeedResult& result) {
    const auto code = static_cast<std::uint8_t>(pending_[1]);
    auto parameter = [this](int index) {
        return static_cast<std::uint8_t>(pending_[static_cast<std::size_t>(2 + index)]);
    };
    std::string meaning;
    // A row or column beyond the display is logged and ignored, as the module ignores it.
    auto onDisplay = [&meaning](bool fits, const std::string& what, const auto& act) {
        if (fits) {
            act();
        }
        meaning = fits ? what : what + ": not on the display, ignored";
    };
    bool acted = false;
    for (int i : listeners()) {
        Module& module = modules_[static_cast<std::size_t>(i)];
        if (!module.selected) {
            continue;
        }
        acted = true;
        Lcd& display = module.display;
        const Lcd before = display;
        switch (code) {
        case p::kUnderlineCursor:
            display.cursorStyle = CursorStyle::Underline;
            meaning = "underline cursor";
            break;
        case p::kBlinkingCursor:
            display.cursorStyle = CursorStyle::Blinking;
            meaning = "blinking cursor";
            break;
        case p::kHideCursor:
            display.cursorStyle = CursorStyle::Hidden;
            meaning = "hide cursor";
            break;
        case p::kInitGraph:
            display.initGraph();
            meaning = "init graph (custom characters now hold bar patterns)";
            break;
        case p::kBacklightOn:
            display.backlight = Backlight::On;
            meaning = "backlight on";
            break;
        case p::kBacklightOff:
            display.backlight = Backlight::Off;
            meaning = "backlight off";
            break;
        case p::kBacklightBlink:
            display.backlight = Backlight::Blinking;
            meaning = "backlight blink";
            break;
        case p::kOutputOn:
            module.outputOn = true;
            result.stateChanged = true;
            meaning = "output on";
            break;
        case p::kOutputOff:
            module.outputOn = false;
            result.stateChanged = true;
            meaning = "output off";
            break;
        case p::kInputStatus: {
            const auto level = module.inputHigh ? p::kInputHigh : p::kInputLow;
            result.replies.push_back({{static_cast<char>(p::kAcknowledge),
                                       static_cast<char>(module.settings.address), static_cast<char>(level)},
                                      i,
                                      module.settings.lineSpeed});
            meaning = std::string("input status query -> ") + (module.inputHigh ? "HIGH" : "LOW");
            break;
        }
        case p::kShowDefaultScreen:
            display.show(module.settings.defaultScreen);
            meaning = "show default screen";
            break;
        case p::kGraphLeftToRight:
        case p::kGraphRightToLeft: {
            const int length = parameter(0);
            display.drawGraph(length, code == p::kGraphLeftToRight);
            meaning = std::string(code == p::kGraphLeftToRight ? "left-to-right" : "right-to-left") +
                      " bar graph, length " + number(length) + " on row " + number(display.cursorRow) +
                      (length > p::kMaxGraphLength ? " (longer than 80: drawn as 80)" : "");
            break;
        }
        case p::kClearRow:
            onDisplay(parameter(0) < Lcd::kRows, "clear row " + number(parameter(0)),
                      [&] { display.clearRow(parameter(0)); });
            break;
        case p::kClearColumn:
            onDisplay(parameter(0) < Lcd::kColumns, "clear column " + number(parameter(0)),
                      [&] { display.clearColumn(parameter(0)); });
            break;
        case p::kSetCursorPosition:
            onDisplay(parameter(0) < Lcd::kRows && parameter(1) < Lcd::kColumns,
                      "cursor to row " + number(parameter(0)) + ", column " + number(parameter(1)),
                      [&] { display.setCursor(parameter(0), parameter(1)); });
            break;
        default:
            break;
        }
        if (before.lineText(0) != display.lineText(0) || before.lineText(1) != display.lineText(1)) {
            changed(result, i);
        }
    }
    log(result, pending_, acted ? meaning : "command for the selected module, but none is selected: ignored");
}

void Bus::configurationCommand(FeedResult& result) {
    const auto code = static_cast<std::uint8_t>(pending_[1]);
    const std::string payload = pending_.substr(2);
    std::string meaning;
    for (int i : listeners()) {
        Module& module = modules_[static_cast<std::size_t>(i)];
        if (!module.configuring) {
            continue;
        }
        ModuleSettings& settings = module.settings;
        const std::string who = number(settings.address);
        switch (code) {
        case p::kSetUid:
            settings.address = static_cast<std::uint8_t>(payload[0]);
            meaning += (meaning.empty() ? "set UID " + number(settings.address) + " -> " : ", ") + who +
                       " now answers at " + number(settings.address);
            break;
        case p::kLineSpeed9600:
        case p::kLineSpeed4800:
            module.pendingLineSpeed = code == p::kLineSpeed9600 ? 9600 : 4800;
            meaning = "set line speed " + number(module.pendingLineSpeed) + " bit/s (from the stop frame on)";
            break;
        case p::kSetDefaultScreen:
            std::copy(payload.begin(), payload.end(), settings.defaultScreen.begin());
            meaning =
                "set default screen " + quoted(payload.substr(0, 16)) + " " + quoted(payload.substr(16));
            break;
        case p::kLoadCustomCharacters:
            std::copy(payload.begin(), payload.end(), settings.bitmaps.begin());
            module.loadBitmapsIntoDisplay();
            changed(result, i);
            meaning = "load custom characters";
            break;
        default:
            break;
        }
        result.stateChanged = true;
    }
    log(result, pending_, meaning.empty() ? "configuration command, but no module takes it" : meaning);
}

void Bus::displayData(std::uint8_t byte, FeedResult& result) {
    if (context_ == Context::None || (context_ == Context::Configuration && !anySelected())) {
        text_ += static_cast<char>(byte);
        return;
    }
    if (byte == p::kClearDisplay || byte == p::kLineBreak) {
        flushText(result);
    }
    bool acted = false;
    for (int i : listeners()) {
        Module& module = modules_[static_cast<std::size_t>(i)];
        if (!module.selected) {
            continue;
        }
        acted = true;
        if (byte == p::kClearDisplay) {
            module.display.clear();
        } else if (byte == p::kLineBreak) {
            module.display.lineBreak();
        } else {
            module.display.put(byte);
        }
        changed(result, i);
    }
    const std::string single(1, static_cast<char>(byte));
    if (byte == p::kClearDisplay) {
        log(result, single, acted ? "clear display" : "clear display, but no module is selected: ignored");
    } else if (byte == p::kLineBreak) {
        log(result, single, acted ? "line break" : "line break, but no module is selected: ignored");
    } else {
        text_ += static_cast<char>(byte);
    }
}

void Bus::flushText(FeedResult& result) {
    if (text_.empty()) {
        return;
    }
    bool selected = false;
    for (int i : listeners()) {
        selected = selected || modules_[static_cast<std::size_t>(i)].selected;
    }
    std::string meaning;
    if (context_ == Context::Configuration && !selected) {
        meaning = "unexpected in a configuration exchange: skipped";
    } else if (context_ == Context::None || !selected) {
        meaning = "no module is selected: ignored";
    } else if (text_.size() == 1 && static_cast<std::uint8_t>(text_[0]) < 8) {
        meaning = "custom character " + number(static_cast<std::uint8_t>(text_[0]) + 1);
    } else {
        meaning = "text " + quoted(text_);
    }
    log(result, text_, meaning);
    text_.clear();
}

void Bus::log(FeedResult& result, const std::string& bytes, const std::string& meaning) {
    result.log.push_back(bytes.empty() ? "  " + meaning : hexOf(bytes) + "  " + meaning);
}

void Bus::changed(FeedResult& result, int module) {
    if (std::find(result.changedDisplays.begin(), result.changedDisplays.end(), module) ==
        result.changedDisplays.end()) {
        result.changedDisplays.push_back(module);
    }
}

} // namespace trivex::sim
