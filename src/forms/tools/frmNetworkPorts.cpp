#include "forms/tools/frmNetworkPorts.h"

#include "forms/kit/Keyboard.h"
#include "forms/kit/StoreSettings.h"
#include "forms/kit/Style.h"
#include "forms/kit/Table.h"
#include "link/PortMap.h"
#include "settings/Profile.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace trivex::forms {

namespace {

const QString kPorts = QStringLiteral("Ports");

QString keyOf(int port) {
    return QStringLiteral("COM%1").arg(port);
}

} // namespace

frmNetworkPorts::frmNetworkPorts(session::PortSession& session)
    : QWidget(nullptr)
    , session_(session) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmNetworkPorts"));
    setWindowTitle(QStringLiteral("Network Ports"));
    closeOnEscape(this);
    setWindowIcon(applicationIcon());

    tblPorts = resultTable(QStringLiteral("tblPorts"), QStringLiteral("Ports on the network"),
                           {QStringLiteral("Port"), QStringLiteral("URL")});

    cboPort = new QComboBox;
    cboPort->setObjectName(QStringLiteral("cboPort"));
    cboPort->setAccessibleName(QStringLiteral("Port"));
    for (int port = 1; port <= link::kComNumbers; ++port) {
        cboPort->addItem(keyOf(port));
    }
    txtUrl = new QLineEdit;
    txtUrl->setObjectName(QStringLiteral("txtUrl"));
    txtUrl->setAccessibleName(QStringLiteral("URL"));
    txtUrl->setPlaceholderText(QStringLiteral("rfc2217://host:port or tcp://host:port"));
    cmdSet = new QPushButton(QStringLiteral("&Set"));
    cmdSet->setObjectName(QStringLiteral("cmdSet"));
    cmdSet->setToolTip(
        QStringLiteral("Let the port stand for this serial server (stored in the settings file)"));
    cmdTest = new QPushButton(QStringLiteral("&Test"));
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    cmdTest->setToolTip(
        QStringLiteral("Connect to the server on a connection of its own, and measure the round trip"));
    cmdRemove = new QPushButton(QStringLiteral("&Remove"));
    cmdRemove->setObjectName(QStringLiteral("cmdRemove"));
    cmdRemove->setToolTip(QStringLiteral("The port no longer stands for a serial server on the network"));
    auto* row = new QHBoxLayout;
    row->addWidget(cboPort);
    row->addWidget(txtUrl, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {cmdSet, cmdTest, cmdRemove}) {
        buttons->addWidget(button);
    }
    lblState = new QLabel;
    lblState->setObjectName(QStringLiteral("lblState"));
    lblState->setWordWrap(true);
    lblState->setTextFormat(Qt::PlainText);
    lblState->setAccessibleDescription(QStringLiteral("State"));
    auto* security = new QLabel(QStringLiteral("RFC 2217 and raw TCP have no authentication: keep such "
                                               "ports on a network you trust."));
    security->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tblPorts, 1);
    layout->addLayout(row);
    layout->addLayout(buttons);
    layout->addWidget(lblState);
    layout->addWidget(security);
    resize(480, 320);

    connect(cmdSet, &QPushButton::clicked, this, &frmNetworkPorts::cmdSet_Click);
    connect(cmdTest, &QPushButton::clicked, this, &frmNetworkPorts::cmdTest_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmNetworkPorts::cmdRemove_Click);
    connect(tblPorts, &QTableWidget::itemSelectionChanged, this, [this] {
        const int row = tblPorts->currentRow();
        if (row >= 0) {
            cboPort->setCurrentText(tblPorts->item(row, 0)->text());
            txtUrl->setText(tblPorts->item(row, 1)->text());
        }
    });
    connect(&probe_, &link::NetworkPort::ready, this, [this] {
        tell(QStringLiteral("%1 answers: ready after %2 ms, round trip %3 ms.")
                 .arg(txtUrl->text().trimmed())
                 .arg(static_cast<double>(sinceTest_.nsecsElapsed()) / 1e6, 0, 'f', 1)
                 .arg(probe_.roundTripMs(), 0, 'f', 1));
        probe_.close();
        cmdTest->setEnabled(true);
    });
    connect(&probe_, &link::NetworkPort::failed, this, [this](const QString& reason) {
        tell(QStringLiteral("%1 %2.").arg(txtUrl->text().trimmed(), reason));
        cmdTest->setEnabled(true);
    });
    fillTable();
}

void frmNetworkPorts::fillTable() {
    tblPorts->setRowCount(0);
    for (int port = 1; port <= link::kComNumbers; ++port) {
        const QString url = settings::ReadINI(kPorts, keyOf(port)).trimmed();
        if (link::isNetworkPort(url)) {
            const int row = tblPorts->rowCount();
            tblPorts->insertRow(row);
            tblPorts->setItem(row, 0, new QTableWidgetItem(keyOf(port)));
            tblPorts->setItem(row, 1, new QTableWidgetItem(url));
        }
    }
}

void frmNetworkPorts::tell(const QString& text) {
    lblState->setText(text);
}

int frmNetworkPorts::chosenPort() const {
    return cboPort->currentIndex() + 1;
}

void frmNetworkPorts::cmdSet_Click() {
    QString why;
    const QString url = txtUrl->text().trimmed();
    const auto address = link::parseNetworkAddress(url, &why);
    if (!address) {
        tell(QStringLiteral("Nothing changed: \"%1\" %2.").arg(url, why));
        return;
    }
    const QString before = settings::ReadINI(kPorts, keyOf(chosenPort())).trimmed();
    storeSettings(this, {{kPorts, keyOf(chosenPort()), address->url()}});
    fillTable();
    QString text = QStringLiteral("%1 now stands for %2").arg(keyOf(chosenPort()), address->url());
    if (!before.isEmpty() && before != address->url()) {
        text += QStringLiteral(" (it stood for %1)").arg(before);
    }
    if (session_.MSComm1().CommPort() == chosenPort()) {
        text += QStringLiteral("; the port in use takes it on when it is set again in Comm Port Settings");
    }
    tell(text + QLatin1Char('.'));
}

void frmNetworkPorts::cmdTest_Click() {
    QString why;
    const QString url = txtUrl->text().trimmed();
    const auto address = link::parseNetworkAddress(url, &why);
    if (!address) {
        tell(QStringLiteral("Not tested: \"%1\" %2.").arg(url, why));
        return;
    }
    const link::SerialControl& port = session_.MSComm1();
    if (port.PortOpen() && port.identity().path == address->url()) {
        // A second connection would take the server from the port in use, or be turned away.
        tell(QStringLiteral("%1 is the port in use: %2").arg(address->url(), session_.portState()));
        return;
    }
    tell(QStringLiteral("Connecting to %1...").arg(address->url()));
    cmdTest->setEnabled(false);
    sinceTest_.start();
    const auto settings = link::parseLineSettings(session_.MSComm1().Settings());
    probe_.open(*address, settings.value_or(link::LineSettings{}));
}

void frmNetworkPorts::cmdRemove_Click() {
    const QString before = settings::ReadINI(kPorts, keyOf(chosenPort())).trimmed();
    if (!link::isNetworkPort(before)) {
        tell(QStringLiteral("Nothing changed: %1 stands for no serial server on the network.")
                 .arg(keyOf(chosenPort())));
        return;
    }
    storeSettings(this, {{kPorts, keyOf(chosenPort()), QString()}});
    fillTable();
    tell(QStringLiteral("%1 no longer stands for %2.").arg(keyOf(chosenPort()), before));
}

} // namespace trivex::forms
