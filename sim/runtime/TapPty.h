#pragma once

#include "sim/runtime/PtyLink.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <memory>
#include <string>

namespace trivex::sim {

// Every byte on the bus, both ways, for a listening adapter: a second pseudo-terminal that hands
// on what the program writes and what the modules answer, as they go on the line, and takes
// nothing (what is written to it is read, let go and counted).
class TapPty : public QObject {
    Q_OBJECT
public:
    // Bytes that a listener has not taken for this long are let go: nobody listens.
    static constexpr int kStaleMs = 1000;
    // At most this much waits for a listener that falls behind.
    static constexpr std::size_t kWaitingLimit = 1024 * 1024;

    explicit TapPty(QObject* parent = nullptr);

    bool open(const QString& linkPath, QString* error);
    QString linkPath() const { return link_.linkPath(); }

    // Bytes on the bus.
    void pass(const std::string& bytes);
    // How many bytes a listener wrote to the tap: none, for one that only listens.
    qint64 taken() const { return taken_; }
    // How many bytes were let go because nobody took them.
    qint64 letGo() const { return letGo_; }

private:
    void onReadable();
    // Hands on what waits, as far as the pseudo-terminal takes it.
    void flush();

    PtyLink link_;
    std::unique_ptr<QSocketNotifier> readable_;
    std::unique_ptr<QSocketNotifier> writable_;
    std::string waiting_;
    QElapsedTimer stalled_; // since the pseudo-terminal last took a byte, while bytes wait
    qint64 taken_ = 0;
    qint64 letGo_ = 0;
};

} // namespace trivex::sim
