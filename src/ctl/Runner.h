#pragma once

#include "ctl/Job.h"
#include "ctl/Steps.h"

#include <QString>
#include <vector>

// Steps carried out on the port, with the windows' bytes, waits and words.
namespace trivex::ctl {

class Runner {
public:
    explicit Runner(session::PortSession& session);

    // Carries the step out on the open port. A step that cannot (the port was lost, standard
    // input ended at its prompt) is an error with the reason.
    Entry run(const Step& step);

    // Why the port was lost during the run; empty while it was not.
    const QString& portLost() const { return lost_; }
    // Whether a module acknowledged a select of this run and was not released since.
    bool holdsModule() const { return selected_; }

private:
    // An exchange's outcome: the words for its answer or silence, as wanted or not.
    void judge(Entry& entry, const Step& step, bool answered, const QString& answer, const QString& silence);
    // Writes bytes; a step fails when they cannot go out.
    void send(Entry& entry, const protocol::Bytes& bytes);

    session::PortSession& session_;
    QString lines_[2]; // the display's two lines of text, as the main window's boxes hold them
    QString lost_;
    bool selected_ = false;
};

// The words and scripts of a call, carried out in order: every step runs, whatever became of
// the one before, until the port is lost or the run is asked to stop; the rest are then
// recorded as not run.
class StepsJob : public Job {
public:
    StepsJob(std::vector<Step> steps, const QString& suite);
    QString prepare(const PortPlan& port, Record& record) override;
    void run(session::PortSession& session, Record& record) override;

private:
    std::vector<Step> steps_;
    QString suite_;
    QString config_;
};

} // namespace trivex::ctl
