#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>
#include <string>
#include <termios.h>
#include <vector>

namespace trivex::test {

// The far end of a real pseudo-terminal pair: the program under test opens slavePath() as its
// serial port, the test reads what arrives here and answers. Raw mode, no echo.
class PtyPeer : public QObject {
    Q_OBJECT
public:
    PtyPeer();
    ~PtyPeer() override;

    bool isValid() const { return master_ >= 0; }
    const QString& slavePath() const { return slavePath_; }

    // Everything received so far, and a way to forget it.
    const std::string& received() const { return received_; }
    void clearReceived() { received_.clear(); }

    void send(const std::string& bytes);

    // A peer that stops reading lets the driver's buffer fill up, as a slow line does.
    void setReading(bool reading) {
        if (notifier_) {
            notifier_->setEnabled(reading);
        }
    }

    // Each time the bytes received come to trigger, however reads split them, answer reply after
    // delayMs.
    void answer(const std::string& trigger, const std::string& reply, int delayMs = 1);
    void clearAnswers() { answers_.clear(); }

    // The line speed the program has set on its side, read from the shared termios.
    speed_t lineSpeed() const;

    // Reads on the program's side wait for this many bytes (VMIN) instead of returning none.
    void setMinimumRead(int bytes);

    // The far end goes away, as when a USB adapter is pulled.
    void close();

private:
    void onReadable();

    struct Answer {
        std::string trigger;
        std::string reply;
        int delayMs;
    };

    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::string received_;
    std::vector<Answer> answers_;
};

} // namespace trivex::test
