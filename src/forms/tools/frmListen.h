#pragma once

#include "link/Listener.h"
#include "session/PortSession.h"

#include <QTimer>
#include <QWidget>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace trivex::forms {

class FrameModel;

// "Listen to Bus": a bus that another controller drives, heard through a port of this window's
// own (a second adapter on the same pair, or a port on the network) that never sends a byte;
// the controller's frames and the modules' replies decoded, with what an engineer looks for
// marked. It saves what it heard as a capture and opens captures.
class frmListen : public QWidget {
    Q_OBJECT
public:
    // The newest frames kept; older ones are let go and counted.
    static constexpr int kKeptFrames = 200000;

    explicit frmListen(session::PortSession& session);

    QComboBox* cboPort;     // a device path, COM n, or the URL of a port on the network
    QComboBox* cboSpeed;    // bit/s
    QPushButton* cmdListen; // "Listen", and "Stop" while it listens
    QPushButton* cmdClear;
    QPushButton* cmdOpen;
    QPushButton* cmdSave;
    QTableView* tblFrames;
    QLabel* lblState; // listening where, stopped, lost and why, or the capture shown
    QLabel* lblCount;

    const FrameModel& model() const { return *model_; }
    bool isListening() const { return listening_; }

    void cmdListen_Click();
    // Shows the capture at path in place of what the window holds (Open... uses a new window
    // when this one holds frames); false, and a message that says why (over teller, if given),
    // when it cannot be read.
    bool openCapture(const QString& path, QWidget* teller = nullptr);
    // Writes the frames shown to path as a capture; false, and a message that says why, when it
    // cannot.
    bool saveCapture(const QString& path);

private:
    // The device or URL the port field names; empty, with *why, for one that cannot be listened
    // to from here.
    QString deviceToListen(QString* why) const;
    void start();
    void stop(const QString& state);
    void flush();
    void showCount();
    void fitColumns();

    session::PortSession& session_;
    link::BusListener listener_;
    FrameModel* model_;
    std::vector<protocol::BusFrame> waiting_; // heard, not yet in the table
    QTimer flushTimer_;
    bool listening_ = false;
    QString source_; // what the frames shown come from, for the state line
    int speed_ = 0;  // the line speed of what is shown; 0: unknown, or the server's
};

} // namespace trivex::forms
