#pragma once

#include "protocol/Bytes.h"

#include <QString>
#include <cstdint>

namespace trivex::link {

// The variables that the windows and the link share for the whole run. The main window owns
// one instance and hands it to the others, so that every test starts from a fresh state.
struct SharedVariables {
    protocol::Bytes strCommand;  // the bytes of the next transmission
    bool bResponse = false;      // an acknowledge from the selected module has arrived
    std::uint8_t bytAddress = 0; // address of the selected module
    std::int16_t intTicks = 0;   // ticks counted since the current wait began
    QString strCommPort;         // port number as text, as the settings file holds it
    QString strSettings;         // line settings, for example "9600,n,8,1"
    std::uint8_t bytInput = 0;   // status byte of the last input status reply
};

} // namespace trivex::link
