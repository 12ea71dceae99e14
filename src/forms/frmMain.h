#pragma once

#include "forms/kit/Controls.h"
#include "link/Devices.h"
#include "link/Link.h"
#include "link/SharedVariables.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QStatusBar;

namespace trivex::forms {

class Frame;
class frmComm;
class frmLCD;
class frmScan;
class frmTraffic;

// The program's start-up window: device selection, input status and the display control panel.
// It owns the serial link and the shared variables that the other windows use.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    link::SharedVariables& variables() { return modVariables; }
    link::Link& serialLink() { return link_; }
    link::SerialControl& MSComm1() { return link_.MSComm1; }
    const ControlSet& controls() const { return controls_; }

    QString statusText() const;
    void setStatusText(const QString& text);

    // What COM numbers stand for, and the port's state in words ("COM1 open: /dev/ttyUSB0 at
    // 9600,n,8,1", "COM3 closed: /dev/ttyUSB1 is not present"), as the status bar's tooltip
    // and the port settings window show it.
    const link::PortMap& ports() const { return ports_; }
    QString portState() const;
    // Called whenever the port was opened, closed or switched.
    void portChanged();
    // "Port Not Open", with why, in a message from window.
    void tellPortNotOpen(QWidget* window) const;

    // The bus scan: why it may not start now (empty when it may); while it runs the window's
    // exchanges and commands, and the port settings, wait. A found module is taken over as its
    // address in the address list and its speed for the port, switched as "SET" would.
    QString scanRefusal() const;
    void setScanning(bool scanning);
    bool isScanning() const { return scanning_; }
    void useFoundModule(int address, int speed);
    // Whether the adapter's echo is taken out of what is read; stored in the settings at once.
    void setIgnoreEcho(bool ignore, QWidget* askedFrom);

    // The secondary windows while they are open, else null.
    frmComm* commWindow() const;
    frmLCD* configWindow() const;
    frmTraffic* trafficWindow() const;
    frmScan* scanWindow() const;

    // Controls, named as laid out.
    QLineEdit* txtLine1;
    QLineEdit* txtLine2;
    Frame* Frame1;
    QRadioButton* optBlue;
    QRadioButton* optYG;
    QPushButton* cmdSendAscii;
    QPushButton* cmdClearLCD;
    QComboBox* cboAddr;
    QPushButton* cmdSelect;
    QPushButton* cmdDeselect;
    QRadioButton* optBLON;
    QRadioButton* optBLOFF;
    QRadioButton* optBlink;
    QRadioButton* optUC;
    QRadioButton* optBC;
    QRadioButton* optHC;
    QComboBox* cboRow;
    QComboBox* cboColumn;
    QPushButton* cmdSetCursor;
    QPushButton* cmdClrRow;
    QPushButton* cmdClrColumn;
    QPushButton* cmdInput;
    QLabel* Label4;
    QPushButton* cmdOnOutput;
    QPushButton* cmdOffOutput;
    QPushButton* cmdShowStartup;
    QComboBox* cboGraph;
    QPushButton* cmdInitGraph;
    QPushButton* cmdLtoR;
    QPushButton* cmdRToL;
    Frame* Frame7;
    std::array<QPushButton*, 8> cmdChar;
    QAction* mnuComm;
    QAction* mnuConfig;
    QMenu* mnuTools;
    QAction* mnuTraffic;
    QAction* mnuScan;
    QStatusBar* StatusBar1;

    // Handlers.
    void Form_Load();
    void mnuComm_Click();
    void mnuConfig_Click();
    void mnuTraffic_Click();
    void mnuScan_Click();
    void cmdSelect_Click();
    void cmdDeselect_Click();
    void cmdInput_Click();
    void cmdSendAscii_Click();
    void cmdClearLCD_Click();
    void optBlue_Click();
    void optYG_Click();
    void optUC_Click();
    void optBC_Click();
    void optHC_Click();
    void cmdSetCursor_Click();
    void cmdClrRow_Click();
    void cmdClrColumn_Click();
    void optBLON_Click();
    void optBLOFF_Click();
    void optBlink_Click();
    void cmdInitGraph_Click();
    void cmdLtoR_Click();
    void cmdRToL_Click();
    void cmdChar_Click(int index);
    void cmdShowStartup_Click();
    void cmdOnOutput_Click();
    void cmdOffOutput_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildWindow();
    void connectHandlers();
    void openPortAtStartUp();
    void connectPort();
    // Brings up the port settings window beside this one, its state line saying why the port
    // is not open; before this window is first shown, once it is.
    void tellPortProblem();
    // The position of the entry that a list names by its text; restores the list when the
    // typed text names none.
    std::optional<std::uint8_t> selectedPosition(QComboBox* list);
    void applyLook(const QColor& background, const QColor& text);
    // Creates a secondary window on first use and shows it, or brings the open one forward.
    template <class Window> void bringUp(QPointer<Window>& window) {
        if (!window) {
            window = new Window(*this);
            window->show();
            return;
        }
        window->show();
        window->raise();
        window->activateWindow();
    }
    static QString portsKey(int number);

    link::SharedVariables modVariables;
    link::Link link_;
    ControlSet controls_;
    QLabel* statusPanel_ = nullptr;
    QPointer<frmComm> frmComm_;
    QPointer<frmLCD> frmLCD_;
    QPointer<frmTraffic> frmTraffic_;
    QPointer<frmScan> frmScan_;
    link::PortMap ports_;
    bool portProblemPending_ = false;
    bool scanning_ = false;
    bool configBeforeScan_ = true;
    bool ignoreEcho_ = false; // the operator's choice of taking the adapter's echo out
};

} // namespace trivex::forms
