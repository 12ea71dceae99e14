#pragma once

#include "forms/kit/Controls.h"
#include "forms/kit/Style.h"
#include "session/PortSession.h"

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
class frmNetworkPorts;
class frmListen;

// The program's start-up window: device selection, input status and the display control panel.
// It owns the port session that the other windows use.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    session::PortSession& session() { return session_; }

    QString statusText() const;
    void setStatusText(const QString& text);

    // The secondary windows while they are open, else null.
    frmComm* commWindow() const;
    frmLCD* configWindow() const;
    frmTraffic* trafficWindow() const;
    frmScan* scanWindow() const;
    frmNetworkPorts* networkWindow() const;
    frmListen* listenWindow() const;

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
    QAction* mnuNetwork;
    QAction* mnuListen;
    QStatusBar* StatusBar1;

    // Handlers.
    void Form_Load();
    void mnuComm_Click();
    void mnuConfig_Click();
    void mnuTraffic_Click();
    void mnuScan_Click();
    void mnuNetwork_Click();
    void mnuListen_Click();
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
    void connectSession();
    // Brings up the port settings window beside this one, its state line saying why the port
    // is not open; before this window is first shown, once it is.
    void tellPortProblem();
    // The port's state as the status bar's tooltip.
    void showPortState();
    // While a scan runs the window's exchanges and commands wait.
    void showScanning(bool scanning);
    // The position of the entry that a list names by its text; restores the list when the
    // typed text names none.
    std::optional<std::uint8_t> selectedPosition(QComboBox* list);
    void applyLook(const QColor& background, const QColor& text);
    // Creates a secondary window on first use and shows it, or brings the open one forward.
    // A window opens on the screen that holds this one: a laid-out one centred there, a tool
    // window beside this one where there is room, and wholly on the screen, shrunk to fit.
    template <class Window> void bringUp(QPointer<Window>& window, bool beside = false) {
        if (!window) {
            window = new Window(session_);
            window->setScreen(screen());
            if (beside) {
                placeBeside(window, this);
            }
            window->show();
            return;
        }
        window->show();
        window->raise();
        window->activateWindow();
    }

    session::PortSession session_;
    link::Link& link_;
    ControlSet controls_;
    QLabel* statusPanel_ = nullptr;
    QPointer<frmComm> frmComm_;
    QPointer<frmLCD> frmLCD_;
    QPointer<frmTraffic> frmTraffic_;
    QPointer<frmScan> frmScan_;
    QPointer<frmNetworkPorts> frmNetwork_;
    QPointer<frmListen> frmListen_;
    bool portProblemPending_ = false;
    bool configBeforeScan_ = true;
};

} // namespace trivex::forms
