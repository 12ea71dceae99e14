#pragma once

#include "ctl/CommissionPlan.h"
#include "ctl/CsvLog.h"
#include "ctl/Job.h"

#include <optional>

// Batch commissioning: new modules, one at a time alone on the bus, each given its address,
// speed, start-up screen and characters through the configuration address once the bus was
// checked to hold exactly that one module, then checked at its new address and logged. A batch
// that stops leaves a row that says where, and goes on from its log (--resume).
namespace trivex::ctl {

class CommissionJob : public Job {
public:
    explicit CommissionJob(CommissionPlan plan);
    QString prepare(const PortPlan& port, Record& record) override;
    void run(session::PortSession& session, Record& record) override;

private:
    // Where a resumed batch goes on: its next address, and whether that module was started.
    QString resumeFrom(CsvLog& log, Record& record);

    CommissionPlan plan_;
    int portSpeed_ = 0; // 0: the server's, on a raw network port
    int speed_ = 0;     // the speed the modules take on
    QString config_;
    int next_ = 0;
    bool halfDone_ = false;
    std::optional<CsvLog> log_;
};

} // namespace trivex::ctl
