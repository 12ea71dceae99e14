#pragma once

#include "link/BusScan.h"
#include "session/PortSession.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace trivex::forms {

// "Scan Bus": which addresses answer, at which speed, with notes on replies that are no clean
// acknowledge, on the configuration address and on an adapter that echoes. "Use" takes a found
// module into the main window: its address, and its speed for the port.
class frmScan : public QWidget {
    Q_OBJECT
public:
    explicit frmScan(session::PortSession& session);
    ~frmScan() override;

    QSpinBox* spnFrom;
    QSpinBox* spnTo;
    QCheckBox* chk9600;
    QCheckBox* chk4800;
    QSpinBox* spnAllowance;
    QPushButton* cmdScan; // "Scan", and "Stop" while a scan runs
    QProgressBar* prgScan;
    QTableWidget* tblFound;
    QPushButton* cmdUse;
    QLabel* lblEcho;
    QCheckBox* chkIgnoreEcho;

    const link::BusScan& scan() const { return scan_; }
    void cmdScan_Click();
    void cmdUse_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void onFinished(const QString& outcome);

    session::PortSession& session_;
    link::BusScan scan_;
};

} // namespace trivex::forms
