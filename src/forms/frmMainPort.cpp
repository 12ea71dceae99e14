// The main window's serial port: opening it at start-up, its state in words, and telling the
// operator in the windows (never only on stderr) when it cannot be opened or goes away.

#include "forms/frmComm.h"
#include "forms/frmLCD.h"
#include "forms/frmMain.h"
#include "forms/kit/Messages.h"
#include "forms/kit/StoreSettings.h"
#include "forms/kit/Style.h"
#include "forms/kit/Texts.h"
#include "link/LineSettings.h"
#include "protocol/Markers.h"
#include "settings/Profile.h"

#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>

namespace trivex::forms {

namespace {

const QString kDefaultSettings = QStringLiteral("9600,n,8,1");
const QString kNoPortSet =
    QStringLiteral("No port is set yet: choose the COM number of the adapter and press SET.");

} // namespace

// COM n stands for the device that section "Ports" names for it, else for a serial device found
// on this machine, else for the n-th on-board port.
QString frmMain::portsKey(int number) {
    return settings::ReadINI(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(number));
}

// Configures the port completely, then opens it. On a first start (no port number stored) with
// exactly one serial device present, that device is the port. A port that does not open leaves
// the program running with it closed; the operator is told why.
void frmMain::openPortAtStartUp() {
    link::SerialControl& port = link_.MSComm1;
    port.setDeviceResolver([this](int number) { return ports_.choice(number); });
    std::optional<int> number = link::parseCommPort(modVariables.strCommPort);
    if (!number) {
        const std::vector<link::SerialDevice> devices = link::presentDevices();
        for (int n = 1; n <= link::kComNumbers && devices.size() == 1; ++n) {
            if (ports_.choice(n).info) {
                number = n;
                modVariables.strCommPort = QString::number(n);
                if (!link::parseLineSettings(modVariables.strSettings)) {
                    modVariables.strSettings = kDefaultSettings;
                }
                break;
            }
        }
    }
    port.setCommPort(number.value_or(0));
    port.setSettings(modVariables.strSettings);
    port.setRThreshold(protocol::kAcknowledgeLength);
    port.setInputMode(1);
    ignoreEcho_ =
        settings::ReadINI(QStringLiteral("Settings"), QStringLiteral("IgnoreEcho")) == QLatin1String("1");
    port.setEchoStripping(ignoreEcho_);
    if (!number || !port.setPortOpen(true)) {
        const QString settingsProblem = settings::settingsFileProblem();
        std::fprintf(stderr, "trivex: no serial port opened: %s%s%s\n",
                     qPrintable(number ? port.lastError() : QStringLiteral("no port is set")),
                     settingsProblem.isEmpty() ? "" : "; the settings file is not read: ",
                     qPrintable(settingsProblem));
        tellPortProblem();
    }
    portChanged();
}

QString frmMain::scanRefusal() const {
    if (!cmdSelect->isEnabled()) {
        return QStringLiteral("%1 is selected in the main window; release it with \"Send Stop Frame\" first.")
            .arg(statusText().section(QLatin1Char(' '), 0, 1));
    }
    if (frmLCD_) {
        return QStringLiteral(
            "\"Configure LCD\" is open, and its commands would cross the probes; close it first.");
    }
    return {};
}

void frmMain::setScanning(bool scanning) {
    if (scanning == scanning_) {
        return;
    }
    scanning_ = scanning;
    centralWidget()->setEnabled(!scanning);
    if (scanning) {
        configBeforeScan_ = mnuConfig->isEnabled();
    }
    mnuConfig->setEnabled(!scanning && configBeforeScan_);
    if (!scanning) {
        link_.MSComm1.setEchoStripping(ignoreEcho_); // as the operator chose last, during the scan too
    }
}

void frmMain::useFoundModule(int address, int speed) {
    const QString text = QString::number(address);
    const int entry = cboAddr->findText(text);
    if (entry >= 0) {
        cboAddr->setCurrentIndex(entry);
    } else {
        cboAddr->setEditText(text);
    }
    link::SerialControl& port = link_.MSComm1;
    if (port.Settings().startsWith(QString::number(speed) + QLatin1Char(','))) {
        return;
    }
    port.setPortOpen(false);
    modVariables.strSettings = QStringLiteral("%1,n,8,1").arg(speed);
    port.setSettings(modVariables.strSettings);
    port.setPortOpen(true);
    portChanged();
}

void frmMain::setIgnoreEcho(bool ignore, QWidget* askedFrom) {
    // A scan handles the echo itself while it runs; the choice holds from its end on.
    ignoreEcho_ = ignore;
    if (!scanning_) {
        link_.MSComm1.setEchoStripping(ignore);
    }
    storeSettings(askedFrom, {{QStringLiteral("Settings"), QStringLiteral("IgnoreEcho"),
                               ignore ? QStringLiteral("1") : QStringLiteral("0")}});
}

void frmMain::connectPort() {
    link::SerialControl& port = link_.MSComm1;
    connect(&port, &link::SerialControl::portLost, this, [this](const QString& reason) {
        std::fprintf(stderr, "trivex: %s\n", qPrintable(reason));
        portChanged();
        tellPortProblem();
    });
    connect(&port, &link::SerialControl::reopened, this, &frmMain::portChanged);
    // A port is its device: its number stands for that device for the rest of the run.
    connect(&port, &link::SerialControl::opened, this,
            [this] { ports_.pin(link_.MSComm1.CommPort(), link_.MSComm1.identity()); });
}

QString frmMain::portState() const {
    const link::SerialControl& port = link_.MSComm1;
    if (port.CommPort() == 0) {
        QString state = kNoPortSet;
        if (const QString problem = settings::settingsFileProblem(); !problem.isEmpty()) {
            state += QStringLiteral(" The settings file %1 is not read: %2.")
                         .arg(settings::settingsFile(), problem);
        }
        return state;
    }
    const link::PortChoice choice = ports_.choice(port.CommPort());
    QString device = choice.device;
    if (choice.info && !choice.info->summary().isEmpty()) {
        device += QStringLiteral(" (%1)").arg(choice.info->summary());
    }
    if (port.PortOpen()) {
        return QStringLiteral("COM%1 open: %2 at %3").arg(port.CommPort()).arg(device, port.Settings());
    }
    return QStringLiteral("COM%1 %2: %3.")
        .arg(port.CommPort())
        .arg(port.isWatching() ? QStringLiteral("lost") : QStringLiteral("closed"),
             capitalised(port.closedReason()));
}

void frmMain::tellPortNotOpen(QWidget* window) const {
    showMessage(window, QMessageBox::Warning, texts::kPortNotOpen,
                capitalised(link_.MSComm1.closedReason()) + '.');
}

void frmMain::portChanged() {
    statusPanel_->setToolTip(plainToolTip(portState()));
    if (frmComm_) {
        frmComm_->showState(portState());
    }
}

void frmMain::tellPortProblem() {
    if (!isVisible()) {
        portProblemPending_ = true;
        return;
    }
    if (!frmComm_) {
        frmComm_ = new frmComm(*this);
        // Beside this window, where the operator is looking, and wholly on the screen.
        placeBeside(frmComm_, this);
    }
    bringUp(frmComm_);
}

// A problem found before the window was there is told once it has been drawn: the port
// settings window then comes up beside it, not before it.
void frmMain::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (std::exchange(portProblemPending_, false)) {
        QTimer::singleShot(0, this, &frmMain::tellPortProblem);
    }
}

} // namespace trivex::forms
