#pragma once

#include "ctl/Port.h"
#include "ctl/Record.h"
#include "session/PortSession.h"

#include <QByteArray>
#include <QString>

// What a call of trivexctl does once its words are checked: the work of one word family (steps
// and scripts, scan, monitor, commissioning) on the open port, told to the record.
namespace trivex::ctl {

class Job {
public:
    // What port a job needs: the session's, opened for it; one it opens itself (to listen); none.
    enum class PortUse { Session, Own, None };

    virtual ~Job() = default;
    virtual PortUse portUse() const { return PortUse::Session; }

    // What must hold before the first byte is sent on the port planned: files that must take
    // what the job writes, options the port allows. Why not, or empty. Sets what the record
    // calls its suite and counts.
    virtual QString prepare(const PortPlan& port, Record& record) {
        (void)port;
        (void)record;
        return {};
    }
    virtual void run(session::PortSession& session, Record& record) = 0;
};

} // namespace trivex::ctl
