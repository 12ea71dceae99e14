#pragma once

#include "link/NetworkPort.h"
#include "session/PortSession.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace trivex::forms {

// "Network Ports": the COM numbers that stand for a serial server on the network
// ([Ports] COMn=rfc2217://host:port or tcp://host:port): listed, added, tested and removed. A
// test connects on a connection of its own, so the port in use is left alone.
class frmNetworkPorts : public QWidget {
    Q_OBJECT
public:
    explicit frmNetworkPorts(session::PortSession& session);

    QTableWidget* tblPorts;
    QComboBox* cboPort;
    QLineEdit* txtUrl;
    QPushButton* cmdSet;
    QPushButton* cmdTest;
    QPushButton* cmdRemove;
    QLabel* lblState;

    void cmdSet_Click();
    void cmdTest_Click();
    void cmdRemove_Click();

private:
    void fillTable();
    void tell(const QString& text);
    int chosenPort() const;

    session::PortSession& session_;
    link::NetworkPort probe_;
    QElapsedTimer sinceTest_;
};

} // namespace trivex::forms
