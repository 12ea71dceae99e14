#include "forms/tools/frmScan.h"

#include "forms/kit/Keyboard.h"
#include "forms/kit/Messages.h"
#include "forms/kit/StoreSettings.h"
#include "forms/kit/Style.h"
#include "forms/kit/Table.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace trivex::forms {

namespace {

const QString kScan = QStringLiteral("&Scan");
const QString kStop = QStringLiteral("&Stop");

QSpinBox* addressBox(int value, const char* name, const QString& accessibleName) {
    auto* box = new QSpinBox;
    box->setRange(0, 255);
    box->setValue(value);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(accessibleName);
    return box;
}

} // namespace

frmScan::frmScan(session::PortSession& session)
    : QWidget(nullptr)
    , session_(session)
    , scan_(session.link()) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmScan"));
    setWindowTitle(QStringLiteral("Scan Bus"));
    closeOnEscape(this);
    setWindowIcon(applicationIcon());

    spnFrom = addressBox(100, "spnFrom", QStringLiteral("First address"));
    spnTo = addressBox(132, "spnTo", QStringLiteral("Last address"));
    chk9600 = new QCheckBox(QStringLiteral("&9600 bps"));
    chk9600->setObjectName(QStringLiteral("chk9600"));
    chk9600->setChecked(true);
    chk4800 = new QCheckBox(QStringLiteral("&4800 bps"));
    chk4800->setObjectName(QStringLiteral("chk4800"));
    chk4800->setChecked(true);
    cmdScan = new QPushButton(kScan);
    cmdScan->setObjectName(QStringLiteral("cmdScan"));
    auto* range = new QHBoxLayout;
    range->addWidget(spnFrom);
    auto* to = new QLabel(QStringLiteral("&to"));
    to->setBuddy(spnTo);
    range->addWidget(to);
    range->addWidget(spnTo);
    range->addStretch();
    auto* speeds = new QHBoxLayout;
    speeds->addWidget(chk9600);
    speeds->addWidget(chk4800);
    speeds->addStretch();
    spnAllowance = new QSpinBox;
    spnAllowance->setObjectName(QStringLiteral("spnAllowance"));
    spnAllowance->setRange(0, 1000);
    spnAllowance->setSuffix(QStringLiteral(" ms"));
    spnAllowance->setValue(link::kDefaultAnswerAllowanceMs);
    spnAllowance->setToolTip(
        QStringLiteral("The least each probe waits for an answer beyond its bytes' time on the wire. "
                       "The scan allows for a module's answer time itself; answers that the adapter or "
                       "the network holds back are credited when they come, and a module slower than the "
                       "window widens it for the rest of the scan."));
    auto* form = new QFormLayout;
    // Each mnemonic takes the keyboard to the control its label stands before.
    auto* addresses = new QLabel(QStringLiteral("&Addresses:"));
    addresses->setBuddy(spnFrom);
    form->addRow(addresses, range);
    form->addRow(QStringLiteral("Speeds:"), speeds);
    auto* allowance = new QHBoxLayout;
    allowance->addWidget(spnAllowance);
    allowance->addStretch();
    auto* allowanceLabel = new QLabel(QStringLiteral("Answer a&llowance:"));
    allowanceLabel->setBuddy(spnAllowance);
    form->addRow(allowanceLabel, allowance);

    prgScan = new QProgressBar;
    prgScan->setObjectName(QStringLiteral("prgScan"));
    prgScan->setFormat(QStringLiteral("Not scanned yet"));
    prgScan->setValue(0);
    auto* top = new QHBoxLayout;
    top->addWidget(prgScan, 1);
    top->addWidget(cmdScan);

    tblFound = resultTable(QStringLiteral("tblFound"), QStringLiteral("Modules found"),
                           {QStringLiteral("Address"), QStringLiteral("Speed"), QStringLiteral("Reply ms"),
                            QStringLiteral("Note")});

    lblEcho = new QLabel;
    lblEcho->setObjectName(QStringLiteral("lblEcho"));
    lblEcho->setWordWrap(true);
    lblEcho->setTextFormat(Qt::PlainText);
    chkIgnoreEcho = new QCheckBox(QStringLiteral("&Ignore adapter echo"));
    chkIgnoreEcho->setObjectName(QStringLiteral("chkIgnoreEcho"));
    chkIgnoreEcho->setToolTip(
        QStringLiteral("Take the adapter's echo of every write out of what is read, so that "
                       "replies are recognised behind an adapter that echoes."));
    chkIgnoreEcho->setChecked(session_.ignoreEcho());
    cmdUse = new QPushButton(QStringLiteral("&Use"));
    cmdUse->setObjectName(QStringLiteral("cmdUse"));
    cmdUse->setToolTip(
        QStringLiteral("Put the address into the main window's address list and switch the port to "
                       "the module's speed"));
    cmdUse->setEnabled(false);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(chkIgnoreEcho);
    bottom->addStretch();
    bottom->addWidget(cmdUse);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(top);
    layout->addWidget(tblFound, 1);
    layout->addWidget(lblEcho);
    layout->addLayout(bottom);
    resize(520, 400);

    connect(cmdScan, &QPushButton::clicked, this, &frmScan::cmdScan_Click);
    connect(cmdUse, &QPushButton::clicked, this, &frmScan::cmdUse_Click);
    connect(tblFound, &QTableWidget::itemSelectionChanged, this,
            [this] { cmdUse->setEnabled(!scan_.isRunning() && !tblFound->selectedItems().isEmpty()); });
    connect(chkIgnoreEcho, &QCheckBox::toggled, this, [this](bool ignore) {
        session_.setIgnoreEcho(ignore);
        storeSettings(this, {{QStringLiteral("Settings"), QStringLiteral("IgnoreEcho"),
                              ignore ? QStringLiteral("1") : QStringLiteral("0")}});
    });
    connect(&scan_, &link::BusScan::probing, this, [this](int address, int speed, int done, int total) {
        prgScan->setMaximum(total);
        prgScan->setValue(done);
        prgScan->setFormat(speed > 0 ? QStringLiteral("Probing %1 at %2 bit/s (%p%)").arg(address).arg(speed)
                                     : QStringLiteral("Probing %1 at the server's speed (%p%)").arg(address));
    });
    connect(&scan_, &link::BusScan::found, this, [this](const link::ScanFinding& finding) {
        const int row = tblFound->rowCount();
        tblFound->insertRow(row);
        const QStringList cells{QString::number(finding.address),
                                finding.speed > 0 ? QString::number(finding.speed)
                                                  : QStringLiteral("server's"),
                                QString::number(finding.replyMs, 'f', 1), finding.note};
        for (int column = 0; column < cells.size(); ++column) {
            tblFound->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
    });
    connect(&scan_, &link::BusScan::echoDetected, this, [this] {
        lblEcho->setText(
            QStringLiteral("The adapter echoes what it sends: the echo is taken out during the scan. "
                           "Tick \"Ignore adapter echo\" for the main window's exchanges too."));
    });
    // A widened allowance is the one the next scan starts with.
    connect(&scan_, &link::BusScan::allowanceWidened, spnAllowance, &QSpinBox::setValue);
    connect(&scan_, &link::BusScan::finished, this, &frmScan::onFinished);
}

frmScan::~frmScan() {
    scan_.stop();
}

void frmScan::cmdScan_Click() {
    if (scan_.isRunning()) {
        scan_.stop();
        return;
    }
    if (const QString refusal = session_.scanRefusal(); !refusal.isEmpty()) {
        showMessage(this, QMessageBox::Warning, QStringLiteral("The bus is not scanned: ") + refusal);
        return;
    }
    std::vector<int> speeds;
    for (const auto& [box, speed] : {std::pair{chk9600, 9600}, std::pair{chk4800, 4800}}) {
        if (box->isChecked()) {
            speeds.push_back(speed);
        }
    }
    tblFound->setRowCount(0);
    lblEcho->clear();
    scan_.setAnswerAllowance(spnAllowance->value());
    if (const QString refusal = scan_.start(spnFrom->value(), spnTo->value(), speeds); !refusal.isEmpty()) {
        showMessage(this, QMessageBox::Warning, QStringLiteral("The bus is not scanned: ") + refusal + '.');
        return;
    }
    session_.setScanning(true);
    cmdScan->setText(kStop);
    cmdUse->setEnabled(false);
}

void frmScan::onFinished(const QString& outcome) {
    session_.setScanning(false);
    cmdScan->setText(kScan);
    prgScan->setValue(outcome == QLatin1String("done") ? prgScan->maximum() : prgScan->value());
    prgScan->setFormat(QStringLiteral("Scan %1: %2 found").arg(outcome).arg(scan_.findings().size()));
    cmdUse->setEnabled(!tblFound->selectedItems().isEmpty());
}

void frmScan::cmdUse_Click() {
    const int row = tblFound->currentRow();
    if (row >= 0) {
        session_.useFoundModule(tblFound->item(row, 0)->text().toInt(),
                                tblFound->item(row, 1)->text().toInt());
    }
}

void frmScan::closeEvent(QCloseEvent* event) {
    scan_.stop();
    event->accept();
}

} // namespace trivex::forms
