#pragma once

#include "link/Traffic.h"
#include "session/PortSession.h"

#include <QTimer>
#include <QWidget>
#include <deque>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace trivex::forms {

class TrafficModel;

// "Traffic Monitor": every write the program makes and every block it reads on the serial
// port, both directions, in hex and in words, with the port's own events; and a line to write
// bytes by hand. Recording runs only while the window is open.
class frmTraffic : public QWidget {
    Q_OBJECT
public:
    // The newest entries kept; older ones are let go and counted.
    static constexpr int kKeptEntries = 50000;

    explicit frmTraffic(session::PortSession& session);

    QTableView* tblTraffic;
    QPushButton* cmdPause; // held down: the table stands still, entries wait
    QPushButton* cmdClear;
    QPushButton* cmdCopy; // the selected entries as text
    QPushButton* cmdSave;
    QPushButton* cmdOpen; // a capture, in a window of its own
    QLabel* lblCount;
    QLineEdit* txtRaw;
    QPushButton* cmdSendRaw;

    const TrafficModel& model() const { return *model_; }

    // Writes every entry to path: as text, after a header naming the date, the program and the
    // port; or, to a .pcapng file, what was sent and received as a capture. False, and a message
    // that says why, when it cannot.
    bool saveTo(const QString& path);
    // Shows the capture at path in a window of its own, as "Listen to Bus" shows a bus; that
    // window, or null (and a message that says why) when the file is no capture.
    QWidget* openCapture(const QString& path);
    void sendRaw();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void take(const link::TrafficEntry& entry);
    void flush();
    void copySelection();
    void showCount();
    // Widens the hex and meaning columns to what the rows in view show, so that no entry is cut.
    void fitColumns();

    session::PortSession& session_;
    TrafficModel* model_;
    std::deque<link::TrafficEntry> waiting_; // taken, not yet in the table
    qint64 droppedWhileWaiting_ = 0;
    QTimer flushTimer_;
};

} // namespace trivex::forms
