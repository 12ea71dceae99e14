#include "forms/frmComm.h"

#include "forms/frmCommLayout.h"
#include "forms/kit/Keyboard.h"
#include "forms/kit/Messages.h"
#include "forms/kit/StoreSettings.h"
#include "forms/kit/Style.h"
#include "forms/kit/Twips.h"
#include "link/LineSettings.h"
#include "link/NetworkAddress.h"
#include "link/PortAccess.h"
#include "link/PortMap.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <optional>

namespace trivex::forms {

namespace {

const QString kSection = QStringLiteral("Settings");
const QString k9600 = QStringLiteral("9600 bps");
const QString k4800 = QStringLiteral("4800 bps");
const QString kSettings9600 = QStringLiteral("9600,n,8,1");
const QString kSettings4800 = QStringLiteral("4800,n,8,1");

const QString kPortRefused = QStringLiteral("Nothing changed: \"%1\" is not COM1 to COM7. %2");

// The entry a port number names: ports 1 to 7 are offered.
std::optional<int> portNamed(const QString& text) {
    const std::optional<int> port = link::parseCommPort(text);
    if (!port || *port > link::kComNumbers) {
        return std::nullopt;
    }
    return port;
}

} // namespace

frmComm::frmComm(session::PortSession& session)
    : QWidget(nullptr)
    , session_(session) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmComm"));
    setWindowTitle(QStringLiteral("Comm Port Settings"));
    closeOnEscape(this);
    controls_.build(this, frmCommLayout());
    cboComm = controls_.get<QComboBox>("cboComm");
    cboBaud = controls_.get<QComboBox>("cboBaud");
    cmdSetPort = controls_.get<QPushButton>("cmdSetPort");
    lblPortState = controls_.get<QLabel>("lblPortState");
    cboComm->setAccessibleName(QStringLiteral("Serial port"));
    cboBaud->setAccessibleName(QStringLiteral("Baud rate"));
    // Read by what it says (why the port failed); a name of its own would hide that.
    lblPortState->setAccessibleDescription(QStringLiteral("Port state"));
    // Rich text of the escaped state, because it breaks a long device path anywhere, where plain
    // text wraps only between words and would cut it.
    lblPortState->setTextFormat(Qt::RichText);
    lblPortState->setWordWrap(true);
    lblPortState->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    makeFixedWindow(this, twipsSize(kCommClientWidth, kCommClientHeight));
    connect(cmdSetPort, &QPushButton::clicked, this, &frmComm::cmdSetPort_Click);
    connect(&session_, &session::PortSession::stateChanged, this,
            [this] { showState(session_.portState()); });
    // Devices come and go (a USB adapter plugged in): the tooltips are brought up to date
    // whenever the list opens.
    cboComm->view()->installEventFilter(this);
    Form_Load();
}

void frmComm::Form_Load() {
    for (int port = 1; port <= link::kComNumbers; ++port) {
        cboComm->addItem(QStringLiteral("COM%1").arg(port));
    }
    describePorts();
    portAtLoad_ = session_.variables().strCommPort;
    settingsAtLoad_ = session_.variables().strSettings;
    const std::optional<int> port = portNamed(session_.variables().strCommPort);
    cboComm->setCurrentIndex(port ? *port - 1 : -1);
    showState(session_.portState());
    cboBaud->addItem(k9600);
    cboBaud->addItem(k4800);
    cboBaud->setCurrentText(session_.variables().strSettings == kSettings9600 ? k9600 : k4800);
}

// Each entry's tooltip names the device it stands for, what it is, and whether it is there now.
void frmComm::describePorts() {
    for (int port = 1; port <= link::kComNumbers; ++port) {
        const link::PortChoice choice = session_.ports().choice(port);
        QString text = QStringLiteral("COM%1 stands for %2").arg(port).arg(choice.device);
        if (choice.info && !choice.info->summary().isEmpty()) {
            text += QStringLiteral(" (%1)").arg(choice.info->summary());
        }
        const QString problem = link::deviceProblem(choice.device);
        text += link::isNetworkPort(choice.device) ? QStringLiteral(": a serial server on the network")
                : problem.isEmpty()                ? QStringLiteral(": present")
                                                   : QStringLiteral(", which %1").arg(problem);
        cboComm->setItemData(port - 1, plainToolTip(text), Qt::ToolTipRole);
    }
}

void frmComm::cmdSetPort_Click() {
    if (session_.isScanning()) {
        showState(QStringLiteral("A bus scan is running: the port is switched when it has ended. ") +
                  session_.portState());
        return;
    }
    // Text that names no port changes nothing: not the port, not the variables.
    const std::optional<int> port = portNamed(cboComm->currentText());
    if (!port) {
        showState(kPortRefused.arg(cboComm->currentText(), session_.portState()));
        return;
    }
    session_.switchPort(*port, cboBaud->currentText() == k9600 ? kSettings9600 : kSettings4800);
    describePorts();
}

// The state line under "SET", whole: it wraps, and the window grows below its laid-out area
// when the text needs more lines than there is room for.
void frmComm::showState(const QString& text) {
    state_ = text;
    lblPortState->setText(plainToolTip(text));
    lblPortState->setToolTip(plainToolTip(text));
    // The height the text needs, measured free of the height the last text was given.
    lblPortState->setMinimumHeight(0);
    lblPortState->setMaximumHeight(QWIDGETSIZE_MAX);
    const int height =
        std::max(lblPortState->heightForWidth(lblPortState->width()), lblPortState->fontMetrics().height());
    lblPortState->setFixedHeight(height);
    const QSize laidOut = twipsSize(kCommClientWidth, kCommClientHeight);
    setFixedSize(laidOut.width(),
                 std::max(laidOut.height(), lblPortState->y() + height + pixels(kStateLineMargin)));
}

// The port number and line settings the program runs with, and the device the chosen number
// stands for when it was found on this machine rather than named in the settings, so that the
// choice holds on the next start whatever other devices are present then. What the operator
// did not change here keeps whatever the file holds by then, and is written only where the
// file lacks it.
void frmComm::Form_Unload() {
    const link::SharedVariables& vars = session_.variables();
    QList<settings::IniEntry> entries{
        {kSection, QStringLiteral("CommPort"), vars.strCommPort, vars.strCommPort == portAtLoad_},
        {kSection, QStringLiteral("Setting"), vars.strSettings, vars.strSettings == settingsAtLoad_}};
    if (const std::optional<int> port = link::parseCommPort(vars.strCommPort)) {
        const link::PortChoice choice = session_.ports().choice(*port);
        if (choice.origin == link::PortChoice::Origin::Found && !choice.device.isEmpty()) {
            entries.append(
                {QStringLiteral("Ports"), QStringLiteral("COM%1").arg(*port), choice.device, true});
        }
    }
    storeSettings(this, entries);
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
