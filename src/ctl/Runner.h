#pragma once

#include "ctl/Steps.h"
#include "session/PortSession.h"

#include <QString>
#include <functional>

// Steps carried out on the port, with the windows' bytes, waits and words.
namespace trivex::ctl {

// What became of one step.
struct StepResult {
    QString where;
    QString command;
    bool ok = true;
    double ms = 0;
    QString outcome; // in the windows' words: "UID 101 Connected", "HIGH"; empty when nothing is to say
};

class Runner {
public:
    explicit Runner(session::PortSession& session);

    // Carries the step out on the open port. A step that cannot (the port was lost) fails with
    // the reason, and portLost() tells it.
    StepResult run(const Step& step);

    // Why the port was lost during the run; empty while it was not.
    const QString& portLost() const { return lost_; }

    // Waits ms milliseconds with the port's events handled.
    static void pause(int ms);
    // Shows text and waits for a line on standard input where one may come (a terminal or a
    // pipe); false at its end.
    static bool prompt(const QString& text);

private:
    // An exchange's outcome: the words for its answer or silence, as wanted or not.
    void judge(StepResult& result, const Step& step, bool answered, const QString& answer,
               const QString& silence);
    // Writes bytes; a step fails when they cannot go out.
    void send(StepResult& result, const protocol::Bytes& bytes);

    session::PortSession& session_;
    QString lines_[2]; // the display's two lines of text, as the main window's boxes hold them
    QString lost_;
};

} // namespace trivex::ctl
