#include "forms/frmComm.h"

#include "forms/Messages.h"
#include "forms/StoreSettings.h"
#include "forms/Style.h"
#include "forms/Twips.h"
#include "forms/frmCommLayout.h"
#include "forms/frmMain.h"
#include "link/LineSettings.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <optional>

namespace trivex::forms {

namespace {

const QString kSection = QStringLiteral("Settings");
const QString k9600 = QStringLiteral("9600 bps");
const QString k4800 = QStringLiteral("4800 bps");
const QString kSettings9600 = QStringLiteral("9600,n,8,1");
const QString kSettings4800 = QStringLiteral("4800,n,8,1");

const QString kNoPortSet = QStringLiteral("No port is set yet: choose one and press SET.");
const QString kPortRefused = QStringLiteral("Nothing changed: \"%1\" is not COM1 to COM7");
const QString kPortOpen = QStringLiteral("COM%1 open at %2 (%3)");
const QString kPortClosed = QStringLiteral("COM%1 closed: %2 (%3)");

// The entry a port number names: ports 1 to 7 are offered.
std::optional<int> portNamed(const QString& text) {
    const std::optional<int> port = link::parseCommPort(text);
    if (!port || *port > kPortEntries) {
        return std::nullopt;
    }
    return port;
}

} // namespace

frmComm::frmComm(frmMain& main)
    : QWidget(nullptr)
    , main_(main) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmComm"));
    setWindowTitle(QStringLiteral("Comm Port Settings"));
    controls_.build(this, frmCommLayout());
    cboComm = controls_.get<QComboBox>("cboComm");
    cboBaud = controls_.get<QComboBox>("cboBaud");
    cmdSetPort = controls_.get<QPushButton>("cmdSetPort");
    lblPortState = controls_.get<QLabel>("lblPortState");
    lblPortState->setTextFormat(Qt::PlainText);
    makeFixedWindow(this, twipsSize(kCommClientWidth, kCommClientHeight));
    connect(cmdSetPort, &QPushButton::clicked, this, &frmComm::cmdSetPort_Click);
    connect(&main_.MSComm1(), &link::SerialControl::portLost, this, &frmComm::showState);
    // Devices come and go (a USB adapter plugged in): the tooltips are brought up to date
    // whenever the list opens.
    cboComm->view()->installEventFilter(this);
    Form_Load();
}

void frmComm::Form_Load() {
    for (int port = 1; port <= kPortEntries; ++port) {
        cboComm->addItem(QStringLiteral("COM%1").arg(port));
    }
    describePorts();
    const std::optional<int> port = portNamed(main_.variables().strCommPort);
    cboComm->setCurrentIndex(port ? *port - 1 : -1);
    if (!port) {
        showState(kNoPortSet);
    }
    cboBaud->addItem(k9600);
    cboBaud->addItem(k4800);
    cboBaud->setCurrentText(main_.variables().strSettings == kSettings9600 ? k9600 : k4800);
}

// Each entry's tooltip names the device it stands for and whether that device is there now.
void frmComm::describePorts() {
    for (int port = 1; port <= kPortEntries; ++port) {
        const QString device = main_.MSComm1().deviceFor(port);
        const QString problem = link::deviceProblem(device);
        cboComm->setItemData(
            port - 1,
            plainToolTip(QStringLiteral("COM%1 stands for %2: %3")
                             .arg(port)
                             .arg(device, problem.isEmpty() ? QStringLiteral("present") : problem)),
            Qt::ToolTipRole);
    }
}

void frmComm::cmdSetPort_Click() {
    // Text that names no port changes nothing: not the port, not the variables.
    const std::optional<int> port = portNamed(cboComm->currentText());
    if (!port) {
        showState(kPortRefused.arg(cboComm->currentText()));
        return;
    }
    link::SerialControl& serial = main_.MSComm1();
    if (serial.PortOpen()) {
        serial.setPortOpen(false);
    }
    link::SharedVariables& vars = main_.variables();
    vars.strCommPort = QString::number(*port);
    vars.strSettings = cboBaud->currentText() == k9600 ? kSettings9600 : kSettings4800;
    serial.setCommPort(*port);
    serial.setSettings(vars.strSettings);
    if (serial.setPortOpen(true)) {
        showState(kPortOpen.arg(*port).arg(vars.strSettings, serial.devicePath()));
    } else {
        showState(kPortClosed.arg(*port).arg(serial.lastReason(), serial.devicePath()));
    }
    describePorts();
}

// One line under "SET": as much as fits, the reason first; the whole text as its tooltip.
void frmComm::showState(const QString& text) {
    lblPortState->setToolTip(plainToolTip(text));
    lblPortState->setText(
        lblPortState->fontMetrics().elidedText(text, Qt::ElideRight, lblPortState->width()));
}

void frmComm::Form_Unload() {
    storeSettings(this, {{kSection, QStringLiteral("CommPort"), main_.variables().strCommPort},
                         {kSection, QStringLiteral("Setting"), main_.variables().strSettings}});
}

bool frmComm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cboComm->view() && event->type() == QEvent::Show) {
        describePorts();
    }
    return QWidget::eventFilter(watched, event);
}

void frmComm::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

} // namespace trivex::forms
