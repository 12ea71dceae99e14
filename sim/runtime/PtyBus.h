#pragma once

#include "sim/runtime/BusPort.h"
#include "sim/runtime/PtyLink.h"

#include <QLockFile>
#include <QSocketNotifier>
#include <QString>
#include <memory>

namespace trivex::sim {

// The bus on a pseudo-terminal: the program opens the slave side (published at a stable
// symlink) as its serial port, the modules listen on the master side and answer after their
// delay plus the time their reply takes on the wire.
class PtyBus : public BusPort {
    Q_OBJECT
public:
    PtyBus(Bus& bus, int answerDelayMs, bool echo = false, QObject* parent = nullptr);
    ~PtyBus() override;

    // Creates the pty (raw, no echo) and the symlink; false with *error set when that fails: when
    // another virtual module runs at linkPath, or something other than a left-over link is there.
    bool open(const QString& linkPath, QString* error);
    const QString& slavePath() const { return link_.slavePath(); }
    QString linkPath() const override { return link_.linkPath(); }
    QString carrier() const override { return link_.slavePath(); }

    // The line speed the program's port is set to, from the pty's termios.
    int lineSpeed() const override;

protected:
    void deliver(const std::string& bytes) override;

private:
    void onReadable();

    PtyLink link_;
    int master_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// Speed in bit/s of a termios speed constant; 0 for one this table does not know.
int bitsPerSecond(unsigned speed);

} // namespace trivex::sim
