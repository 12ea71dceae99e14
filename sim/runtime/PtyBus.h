#pragma once

#include "sim/core/Bus.h"

#include <QLockFile>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>

namespace trivex::sim {

// The bus on a pseudo-terminal: the program opens the slave side (published at a stable
// symlink) as its serial port, the modules listen on the master side and answer after their
// delay plus the time their reply takes on the wire.
class PtyBus : public QObject {
    Q_OBJECT
public:
    // With echo, every byte written to the bus comes straight back, as from an RS485 adapter
    // that hears its own transmitter.
    PtyBus(Bus& bus, int answerDelayMs, bool echo = false, QObject* parent = nullptr);
    ~PtyBus() override;

    // Creates the pty (raw, no echo) and the symlink; false with *error set when that fails: when
    // another virtual module runs at linkPath, or something other than a left-over link is there.
    bool open(const QString& linkPath, QString* error);
    const QString& slavePath() const { return slavePath_; }
    const QString& linkPath() const { return linkPath_; }

    // The line speed the program's port is set to, from the pty's termios.
    int lineSpeed() const;

    Bus& bus() { return bus_; }

signals:
    void logged(const QString& line);
    void displayChanged(int module);
    void stateChanged();

private:
    void onReadable();
    void handle(const FeedResult& result);

    Bus& bus_;
    int answerDelayMs_;
    bool echo_;
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
