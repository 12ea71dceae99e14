#pragma once

#include "sim/runtime/BusPort.h"

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
    const QString& slavePath() const { return slavePath_; }
    QString linkPath() const override { return linkPath_; }
    QString carrier() const override { return slavePath_; }

    // The line speed the program's port is set to, from the pty's termios.
    int lineSpeed() const override;

protected:
    void deliver(const std::string& bytes) override;

private:
    void onReadable();

    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QString linkPath_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QLockFile> lock_;
};

// Speed in bit/s of a termios speed constant; 0 for one this table does not know.
int bitsPerSecond(unsigned speed);

} // namespace trivex::sim
