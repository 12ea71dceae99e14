#pragma once

#include "protocol/Configuration.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// What "commission" is asked to do: its options, checked before anything is sent.
namespace trivex::ctl {

// A configuration command with the name a log row gives it ("Set UID 151").
struct NamedCommand {
    QString name;
    protocol::ConfigurationCommand command;
};

struct CommissionPlan {
    int first = 0;
    int count = 0;
    int speed = 0;                     // the speed the modules take on; 0: the port's
    std::optional<int> from;           // the address new modules answer at; none: scan the bus
    std::vector<NamedCommand> between; // after Set UID, before Set Baud Rate
    QString log;                       // the CSV log; with resume, the log the batch goes on from
    bool resume = false;
    bool prompt = true;

    // The commands that make a module at speed (0: none) the address given.
    std::vector<NamedCommand> commands(int address, int speed) const;
    // What a batch sends every module alike (screen, characters, speed), for its short hash.
    QByteArray configuration(int speed) const;
};

// The plan the options after "commission" give; no value, and *why set, when they give none.
std::optional<CommissionPlan> commissionPlan(const QStringList& arguments, QString* why);

} // namespace trivex::ctl
