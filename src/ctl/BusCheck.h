#pragma once

#include "link/Link.h"

#include <QString>
#include <vector>

// Before a module is configured: exactly one module is on the bus, and the address it is to take
// is free. The checks fail closed: whatever cannot be told apart from a second module, a garbled
// or a late acknowledge, is taken for one.
namespace trivex::ctl {

// The one module found, or what was found instead.
struct Census {
    enum class Found { One, None, Several };
    Found found = Found::None;
    int address = 0;
    int speed = 0; // bit/s; 0 for the server's speed on a raw network port
    QString told;  // what was found instead of one module, in words
};

class BusCheck {
public:
    // The port's own line settings; probes at other speeds switch it and back.
    BusCheck(link::Link& link, QString portSettings);

    // A start frame to address at each speed, each waiting the full reply window; what came
    // back, in words ("address 140 answers at 9600 bit/s (EE 8C)"), or empty when nothing did.
    QString answersAt(int address, const std::vector<int>& speeds);
    // The module at address: one clean acknowledge within the full reply window, and nothing
    // else, at the first of speeds that gives one.
    Census at(int address, const std::vector<int>& speeds);
    // Every address at both speeds.
    Census wholeBus();

private:
    void atSpeed(int speed);

    link::Link& link_;
    QString portSettings_;
};

QString speedWords(int speed);

} // namespace trivex::ctl
