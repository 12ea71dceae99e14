#pragma once

#include "ctl/Job.h"

#include <QStringList>
#include <memory>
#include <vector>

// "scan": the bus searched for modules.
namespace trivex::ctl {

class ScanJob : public Job {
public:
    // The job the options after "scan" ask for; none, with *why, when they are refused.
    static std::unique_ptr<ScanJob> plan(const QStringList& arguments, QString* why);
    QString prepare(const PortPlan& port, Record& record) override;
    void run(session::PortSession& session, Record& record) override;

private:
    int from_ = 100;
    int to_ = 132;
    int allowance_ = 0;
    std::vector<int> speeds_{9600, 4800};
    bool speedsAsked_ = false;
};

} // namespace trivex::ctl
