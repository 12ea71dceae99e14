#pragma once

#include "link/SerialControl.h"
#include "protocol/BusReader.h"

#include <QObject>
#include <QTimer>
#include <vector>

// A bus that another controller drives, heard from the side: a port of its own (a second
// adapter on the same pair, or a port on the network) opened only to listen, its bytes read as
// the controller's frames and the modules' replies.
namespace trivex::link {

// Now, in microseconds since the epoch.
std::int64_t wallMicros();

class BusListener : public QObject {
    Q_OBJECT
public:
    explicit BusListener(QObject* parent = nullptr);
    ~BusListener() override;

    // Opens device (a path or a URL) at settings, listening only; why it cannot be, or empty.
    // A port on the network opens once connected: opened() or lost() follows.
    QString open(const QString& device, const QString& settings);
    // Ends the listening; what is held is handed on first.
    void close();
    SerialControl& port() { return port_; }
    // The line speed it listens at, as a capture names it.
    int speed() const;

signals:
    void heard(const std::vector<trivex::protocol::BusFrame>& frames);
    void opened();
    void lost(const QString& reason);

private:
    void read();
    void pass();

    SerialControl port_;
    protocol::BusReader reader_;
    QTimer clock_; // lets time release what waits for a reply window to pass
};

} // namespace trivex::link
