#include "forms/frmMain.h"

#include "forms/frmComm.h"
#include "forms/frmLCD.h"
#include "forms/frmMainLayout.h"
#include "forms/kit/Frame.h"
#include "forms/kit/LineBox.h"
#include "forms/kit/Messages.h"
#include "forms/kit/Style.h"
#include "forms/kit/Texts.h"
#include "forms/kit/Twips.h"
#include "forms/tools/frmListen.h"
#include "forms/tools/frmNetworkPorts.h"
#include "forms/tools/frmScan.h"
#include "forms/tools/frmTraffic.h"
#include "protocol/Display.h"
#include "protocol/Markers.h"
#include "protocol/Text.h"
#include "settings/Profile.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <utility>

namespace trivex::forms {

frmMain::frmMain(QWidget* parent)
    : QMainWindow(parent)
    , link_(session_.link()) {
    buildWindow();
    connectHandlers();
    Form_Load();
}

frmMain::~frmMain() {
    delete frmComm_;
    delete frmLCD_;
    delete frmTraffic_;
    delete frmScan_;
    delete frmNetwork_;
    delete frmListen_;
}

void frmMain::buildWindow() {
    setWindowTitle(QStringLiteral("TRIVEX-RS485 Application"));
    auto* client = new QWidget(this);
    client->setFixedSize(twipsSize(kMainClientWidth, kMainClientHeight - kStatusBarHeight));
    setCentralWidget(client);
    controls_.build(client, frmMainLayout());

    txtLine1 = controls_.get<QLineEdit>("txtLine1");
    txtLine2 = controls_.get<QLineEdit>("txtLine2");
    Frame1 = controls_.get<Frame>("Frame1");
    optBlue = controls_.get<QRadioButton>("optBlue");
    optYG = controls_.get<QRadioButton>("optYG");
    cmdSendAscii = controls_.get<QPushButton>("cmdSendAscii");
    cmdClearLCD = controls_.get<QPushButton>("cmdClearLCD");
    cboAddr = controls_.get<QComboBox>("cboAddr");
    cmdSelect = controls_.get<QPushButton>("cmdSelect");
    cmdDeselect = controls_.get<QPushButton>("cmdDeselect");
    optBLON = controls_.get<QRadioButton>("optBLON");
    optBLOFF = controls_.get<QRadioButton>("optBLOFF");
    optBlink = controls_.get<QRadioButton>("optBlink");
    optUC = controls_.get<QRadioButton>("optUC");
    optBC = controls_.get<QRadioButton>("optBC");
    optHC = controls_.get<QRadioButton>("optHC");
    cboRow = controls_.get<QComboBox>("cboRow");
    cboColumn = controls_.get<QComboBox>("cboColumn");
    cmdSetCursor = controls_.get<QPushButton>("cmdSetCursor");
    cmdClrRow = controls_.get<QPushButton>("cmdClrRow");
    cmdClrColumn = controls_.get<QPushButton>("cmdClrColumn");
    cmdInput = controls_.get<QPushButton>("cmdInput");
    Label4 = controls_.get<QLabel>("Label4");
    cmdOnOutput = controls_.get<QPushButton>("cmdOnOutput");
    cmdOffOutput = controls_.get<QPushButton>("cmdOffOutput");
    cmdShowStartup = controls_.get<QPushButton>("cmdShowStartup");
    cboGraph = controls_.get<QComboBox>("cboGraph");
    cmdInitGraph = controls_.get<QPushButton>("cmdInitGraph");
    cmdLtoR = controls_.get<QPushButton>("cmdLtoR");
    cmdRToL = controls_.get<QPushButton>("cmdRToL");
    Frame7 = controls_.get<Frame>("Frame7");
    for (int i = 0; i < kCustomCharacterButtons; ++i) {
        cmdChar[static_cast<std::size_t>(i)] = controls_.get<QPushButton>(arrayElement("cmdChar", i));
    }

    for (QLineEdit* line : {txtLine1, txtLine2}) {
        line->setFont(lineBoxFont());
        limitTyping(line, protocol::kLineLength, true);
        line->installEventFilter(this);
    }
    optBlue->setChecked(true);
    applyLook(kBlue, kWhite);

    Label4->setFont(inputStateFont());
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setFrameStyle(QFrame::Box | QFrame::Plain);
    Label4->setLineWidth(1);
    Label4->setAutoFillBackground(true);
    QPalette state = Label4->palette();
    state.setColor(QPalette::Window, kGreen);
    state.setColor(QPalette::WindowText, kRed);
    Label4->setPalette(state);

    cmdLtoR->setEnabled(false);
    cmdRToL->setEnabled(false);

    // The menu stays in the window: a desktop's global menu bar would show only entries that
    // open a menu, and these two open windows.
    menuBar()->setNativeMenuBar(false);
    mnuComm = menuBar()->addAction(QStringLiteral("Communication"));
    mnuComm->setObjectName(QStringLiteral("mnuComm"));
    mnuConfig = menuBar()->addAction(QStringLiteral("LCD Settings"));
    mnuConfig->setObjectName(QStringLiteral("mnuConfig"));
    // What the program offers beyond the laid-out windows, in windows of their own.
    // Its entries carry mnemonics, which the laid-out captions have none of.
    mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    mnuTraffic = mnuTools->addAction(QStringLiteral("&Traffic Monitor"));
    mnuTraffic->setObjectName(QStringLiteral("mnuTraffic"));
    mnuScan = mnuTools->addAction(QStringLiteral("&Scan Bus"));
    mnuScan->setObjectName(QStringLiteral("mnuScan"));
    mnuNetwork = mnuTools->addAction(QStringLiteral("&Network Ports\u2026"));
    mnuNetwork->setObjectName(QStringLiteral("mnuNetwork"));
    mnuListen = mnuTools->addAction(QStringLiteral("&Listen to Bus\u2026"));
    mnuListen->setObjectName(QStringLiteral("mnuListen"));

    // F10 takes the keyboard to the menu bar, as Alt alone does: the menu bar watches this
    // window for Alt pressed (a key event of Alt reports the modifiers held before it, none)
    // and released. Its first entry is shown selected (the style draws it so).
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        for (QEvent::Type type : {QEvent::ShortcutOverride, QEvent::KeyRelease}) {
            QKeyEvent alt(type, Qt::Key_Alt, Qt::NoModifier);
            QCoreApplication::sendEvent(this, &alt);
        }
    });

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(pixels(kStatusBarHeight));
    StatusBar1->setContentsMargins(0, 0, 0, 0);
    statusPanel_ = new QLabel(StatusBar1);
    statusPanel_->setObjectName(QStringLiteral("Panel1"));
    statusPanel_->setFont(statusBarFont());
    statusPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusPanel_->setTextFormat(Qt::PlainText); // it repeats what the operator typed
    StatusBar1->addWidget(statusPanel_, 1);

    // What screen readers and UI automation call the controls that have no caption of their own.
    const std::pair<QWidget*, const char*> names[] = {
        {txtLine1, "Line 1"}, {txtLine2, "Line 2"},  {cboAddr, "RS485 Address"},
        {cboRow, "Row"},      {cboColumn, "Column"}, {cboGraph, "Graph length"},
    };
    for (const auto& [control, name] : names) {
        control->setAccessibleName(QString::fromLatin1(name));
    }
    // A label that shows a value is read by that value ("UID 101 Connected", "HIGH"), and a
    // change of it is announced; what the value is goes into its description.
    Label4->setAccessibleDescription(QStringLiteral("Input state"));
    statusPanel_->setAccessibleDescription(QStringLiteral("Status"));

    // The window is as large as its menu bar, client area and status bar, whatever height the
    // menu bar takes on this desktop.
    makeFixedWindow(this);
}

void frmMain::connectHandlers() {
    connect(mnuComm, &QAction::triggered, this, &frmMain::mnuComm_Click);
    connect(mnuConfig, &QAction::triggered, this, &frmMain::mnuConfig_Click);
    connect(mnuTraffic, &QAction::triggered, this, &frmMain::mnuTraffic_Click);
    connect(mnuScan, &QAction::triggered, this, &frmMain::mnuScan_Click);
    connect(mnuNetwork, &QAction::triggered, this, &frmMain::mnuNetwork_Click);
    connect(mnuListen, &QAction::triggered, this, &frmMain::mnuListen_Click);
    const std::pair<QAbstractButton*, void (frmMain::*)()> clicks[] = {
        {cmdSelect, &frmMain::cmdSelect_Click},       {cmdDeselect, &frmMain::cmdDeselect_Click},
        {cmdInput, &frmMain::cmdInput_Click},         {cmdSendAscii, &frmMain::cmdSendAscii_Click},
        {cmdClearLCD, &frmMain::cmdClearLCD_Click},   {cmdSetCursor, &frmMain::cmdSetCursor_Click},
        {cmdClrRow, &frmMain::cmdClrRow_Click},       {cmdClrColumn, &frmMain::cmdClrColumn_Click},
        {cmdInitGraph, &frmMain::cmdInitGraph_Click}, {cmdLtoR, &frmMain::cmdLtoR_Click},
        {cmdRToL, &frmMain::cmdRToL_Click},           {cmdShowStartup, &frmMain::cmdShowStartup_Click},
        {cmdOnOutput, &frmMain::cmdOnOutput_Click},   {cmdOffOutput, &frmMain::cmdOffOutput_Click},
    };
    for (const auto& [button, handler] : clicks) {
        connect(button, &QAbstractButton::clicked, this, handler);
    }
    // An option acts whenever it becomes chosen: by the mouse, the keyboard or an
    // accessibility action. A click on the option already chosen acts again, so that a
    // command can be repeated (to a module that was switched off and on, say).
    const std::pair<QRadioButton*, void (frmMain::*)()> options[] = {
        {optBlue, &frmMain::optBlue_Click},   {optYG, &frmMain::optYG_Click},
        {optUC, &frmMain::optUC_Click},       {optBC, &frmMain::optBC_Click},
        {optHC, &frmMain::optHC_Click},       {optBLON, &frmMain::optBLON_Click},
        {optBLOFF, &frmMain::optBLOFF_Click}, {optBlink, &frmMain::optBlink_Click},
    };
    for (const auto& [option, handler] : options) {
        connect(option, &QAbstractButton::toggled, this, [this, handler = handler](bool chosen) {
            if (chosen) {
                (this->*handler)();
            }
        });
        auto chosenBefore = std::make_shared<bool>(false);
        connect(option, &QAbstractButton::pressed, this,
                [option = option, chosenBefore] { *chosenBefore = option->isChecked(); });
        connect(option, &QAbstractButton::clicked, this, [this, handler = handler, chosenBefore] {
            if (std::exchange(*chosenBefore, false)) {
                (this->*handler)();
            }
        });
    }
    for (int i = 0; i < kCustomCharacterButtons; ++i) {
        connect(cmdChar[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdChar_Click(i); });
    }
    connectSession();
}

void frmMain::Form_Load() {
    QApplication::setApplicationName(texts::kApplicationTitle);
    // A port on the network opens once connected; one that fails then is told as lost.
    if (!session_.openAtStartUp() && !link_.MSComm1.isConnecting()) {
        // A port that does not open leaves the program running with it closed; the operator is
        // told why in the windows, and on stderr.
        const QString settingsProblem = settings::settingsFileProblem();
        std::fprintf(stderr, "trivex: no serial port opened: %s%s%s\n",
                     qPrintable(link_.MSComm1.CommPort() ? link_.MSComm1.lastError()
                                                         : QStringLiteral("no port is set")),
                     settingsProblem.isEmpty() ? "" : "; the settings file is not read: ",
                     qPrintable(settingsProblem));
        tellPortProblem();
    }
    fillNumbers(cboAddr, 100, 132);
    cboAddr->setCurrentIndex(1);
    fillNumbers(cboColumn, 0, protocol::kLineLength - 1);
    fillNumbers(cboRow, 0, protocol::kLineCount - 1);
    fillNumbers(cboGraph, 0, protocol::kMaxGraphLength);
    cboGraph->setCurrentIndex(1);
    cboRow->setCurrentIndex(0);
    cboColumn->setCurrentIndex(0);
    setStatusText(texts::kDeviceNotSelected);
}

void frmMain::connectSession() {
    connect(&session_, &session::PortSession::stateChanged, this, &frmMain::showPortState);
    connect(&session_, &session::PortSession::portLost, this, [this](const QString& reason) {
        std::fprintf(stderr, "trivex: %s\n", qPrintable(reason));
        tellPortProblem();
    });
    connect(&session_, &session::PortSession::scanningChanged, this, &frmMain::showScanning);
    // A module found by a scan is taken over as its address in the address list.
    connect(&session_, &session::PortSession::moduleChosen, this, [this](int address) {
        const QString text = QString::number(address);
        const int entry = cboAddr->findText(text);
        if (entry >= 0) {
            cboAddr->setCurrentIndex(entry);
        } else {
            cboAddr->setEditText(text);
        }
    });
    // A scan may not start while a module is selected here, or while "Configure LCD" is open.
    session_.setScanGuard([this] {
        if (!cmdSelect->isEnabled()) {
            return QStringLiteral(
                       "%1 is selected in the main window; release it with \"Send Stop Frame\" first.")
                .arg(statusText().section(QLatin1Char(' '), 0, 1));
        }
        if (frmLCD_) {
            return QStringLiteral(
                "\"Configure LCD\" is open, and its commands would cross the probes; close it first.");
        }
        return QString();
    });
}

void frmMain::showScanning(bool scanning) {
    centralWidget()->setEnabled(!scanning);
    if (scanning) {
        configBeforeScan_ = mnuConfig->isEnabled();
    }
    mnuConfig->setEnabled(!scanning && configBeforeScan_);
}

void frmMain::showPortState() {
    statusPanel_->setToolTip(plainToolTip(session_.portState()));
}

void frmMain::tellPortProblem() {
    if (!isVisible()) {
        portProblemPending_ = true;
        return;
    }
    if (!frmComm_) {
        frmComm_ = new frmComm(session_);
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

// The secondary windows close with the main window, so that they store their settings.
void frmMain::closeEvent(QCloseEvent* event) {
    if (frmComm_) {
        frmComm_->close();
    }
    if (frmLCD_) {
        frmLCD_->close();
    }
    if (frmTraffic_) {
        frmTraffic_->close();
    }
    if (frmScan_) {
        frmScan_->close();
    }
    if (frmListen_) {
        frmListen_->close();
    }
    QMainWindow::closeEvent(event);
}

frmComm* frmMain::commWindow() const {
    return frmComm_;
}
frmLCD* frmMain::configWindow() const {
    return frmLCD_;
}

QString frmMain::statusText() const {
    return statusPanel_->text();
}

void frmMain::setStatusText(const QString& text) {
    statusPanel_->setText(text);
}

void frmMain::mnuComm_Click() {
    bringUp(frmComm_);
}

void frmMain::mnuTraffic_Click() {
    bringUp(frmTraffic_, true);
}

frmTraffic* frmMain::trafficWindow() const {
    return frmTraffic_;
}

void frmMain::mnuScan_Click() {
    bringUp(frmScan_, true);
}

void frmMain::mnuNetwork_Click() {
    bringUp(frmNetwork_, true);
}

void frmMain::mnuListen_Click() {
    bringUp(frmListen_, true);
}

frmListen* frmMain::listenWindow() const {
    return frmListen_;
}

frmNetworkPorts* frmMain::networkWindow() const {
    return frmNetwork_;
}

frmScan* frmMain::scanWindow() const {
    return frmScan_;
}

void frmMain::mnuConfig_Click() {
    if (!mnuConfig->isEnabled()) {
        return;
    }
    bringUp(frmLCD_);
}

} // namespace trivex::forms
