#pragma once

#include "ctl/Job.h"

#include <QStringList>
#include <memory>
#include <vector>

// "scan" and "monitor": the bus searched for modules, and its traffic watched.
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

class MonitorJob : public Job {
public:
    static std::unique_ptr<MonitorJob> plan(const QStringList& arguments, QString* why);
    QString prepare(const PortPlan& port, Record& record) override;
    void run(session::PortSession& session, Record& record) override;

private:
    double seconds_ = -1; // below 0: until it is ended
};

} // namespace trivex::ctl
