#pragma once

#include "ctl/Job.h"
#include "link/CaptureFile.h"

#include <QStringList>
#include <memory>

// "monitor" and "decode": the traffic on the port watched, or a bus another controller drives
// listened to, and kept as a capture; a capture read back as the listening monitor reads a bus.
namespace trivex::ctl {

class MonitorJob : public Job {
public:
    static std::unique_ptr<MonitorJob> plan(const QStringList& arguments, QString* why);
    PortUse portUse() const override { return listenOnly_ ? PortUse::Own : PortUse::Session; }
    QString prepare(const PortPlan& port, Record& record) override;
    void run(session::PortSession& session, Record& record) override;

private:
    // Watches until the time given, a signal, or the port's loss.
    void watch(const std::function<bool()>& lost);
    void show(const std::vector<protocol::BusFrame>& frames, Record& record);
    void listen(Record& record);

    double seconds_ = -1; // below 0: until it is ended
    bool listenOnly_ = false;
    QString capturePath_;
    link::CaptureWriter capture_;
    PortPlan port_;
    bool json_ = false;
};

class DecodeJob : public Job {
public:
    static std::unique_ptr<DecodeJob> plan(const QStringList& arguments, QString* why);
    PortUse portUse() const override { return PortUse::None; }
    QString prepare(const PortPlan& port, Record& record) override;
    void run(session::PortSession& session, Record& record) override;

private:
    QString path_;
    link::CaptureContents contents_;
};

} // namespace trivex::ctl
