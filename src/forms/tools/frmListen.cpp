#include "forms/tools/frmListen.h"

#include "forms/kit/Keyboard.h"
#include "forms/kit/Messages.h"
#include "forms/kit/Style.h"
#include "forms/kit/Table.h"
#include "forms/tools/FrameModel.h"
#include "link/CaptureFile.h"
#include "link/Devices.h"
#include "settings/FileAccess.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace trivex::forms {

namespace {

const QString kListen = QStringLiteral("&Listen");
const QString kStop = QStringLiteral("&Stop");
const QString kCaptureFilter = QStringLiteral("Captures (*.pcapng);;All files (*)");
// Frames go into the table this often, so that a busy bus costs the window one update per
// interval.
constexpr int kFlushMs = 50;

QString counted(qint64 count, const char* one, const char* many) {
    return QStringLiteral("%L1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

bool isUrl(const QString& name) {
    return name.contains(QStringLiteral("://"));
}

// Whether two names stand for one device: the same file by any of its names, or the same URL.
bool sameDevice(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) {
        return false;
    }
    if (isUrl(a) || isUrl(b)) {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    }
    const QString left = QFileInfo(a).canonicalFilePath();
    const QString right = QFileInfo(b).canonicalFilePath();
    return left.isEmpty() || right.isEmpty() ? a == b : left == right;
}

} // namespace

frmListen::frmListen(session::PortSession& session)
    : QWidget(nullptr)
    , session_(session)
    , model_(new FrameModel(kKeptFrames, this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmListen"));
    setWindowTitle(QStringLiteral("Listen to Bus"));
    closeOnEscape(this);
    setWindowIcon(applicationIcon());

    cboPort = new QComboBox;
    cboPort->setObjectName(QStringLiteral("cboPort"));
    cboPort->setEditable(true);
    cboPort->setInsertPolicy(QComboBox::NoInsert);
    cboPort->setAccessibleName(QStringLiteral("Port to listen on"));
    for (const link::SerialDevice& device : link::presentDevices()) {
        cboPort->addItem(device.name());
        cboPort->setItemData(cboPort->count() - 1, plainToolTip(device.summary()), Qt::ToolTipRole);
    }
    cboPort->setCurrentIndex(-1);
    cboPort->lineEdit()->setPlaceholderText(QStringLiteral("/dev/ttyUSB1, COM2 or rfc2217://host:port"));
    cboPort->setToolTip(
        QStringLiteral("A second adapter on the same pair, or a port on the network; not the port the main "
                       "window uses. Nothing is ever sent on it."));
    cboPort->setMinimumContentsLength(28);
    cboSpeed = new QComboBox;
    cboSpeed->setObjectName(QStringLiteral("cboSpeed"));
    cboSpeed->addItems({QStringLiteral("9600"), QStringLiteral("4800")});
    cboSpeed->setAccessibleName(QStringLiteral("Line speed, bit/s"));
    cmdListen = new QPushButton(kListen);
    cmdListen->setObjectName(QStringLiteral("cmdListen"));
    auto* portLabel = new QLabel(QStringLiteral("&Port:"));
    portLabel->setBuddy(cboPort);
    auto* speedLabel = new QLabel(QStringLiteral("Spee&d:"));
    speedLabel->setBuddy(cboSpeed);
    auto* top = new QHBoxLayout;
    top->addWidget(portLabel);
    top->addWidget(cboPort, 1);
    top->addWidget(speedLabel);
    top->addWidget(cboSpeed);
    top->addWidget(new QLabel(QStringLiteral("bit/s")));
    top->addWidget(cmdListen);

    tblFrames = new QTableView;
    tblFrames->setModel(model_);
    setUpLogTable(tblFrames, QStringLiteral("tblFrames"), QStringLiteral("Frames heard"));
    tblFrames->horizontalHeader()->setStretchLastSection(true); // the flags take the width left
    // Columns start at their titles' width and grow with what they show.
    for (int column = 0; column < FrameModel::Columns; ++column) {
        const QString title = model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        tblFrames->setColumnWidth(column, tblFrames->fontMetrics().horizontalAdvance(title) + 24);
    }

    lblState = new QLabel(QStringLiteral("Not listening."));
    lblState->setObjectName(QStringLiteral("lblState"));
    lblState->setWordWrap(true);
    lblState->setTextFormat(Qt::PlainText);
    lblCount = new QLabel;
    lblCount->setObjectName(QStringLiteral("lblCount"));
    cmdClear = new QPushButton(QStringLiteral("&Clear"));
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    cmdOpen = new QPushButton(QStringLiteral("&Open..."));
    cmdOpen->setObjectName(QStringLiteral("cmdOpen"));
    cmdSave = new QPushButton(QStringLiteral("Sa&ve..."));
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmdClear);
    bottom->addWidget(cmdOpen);
    bottom->addWidget(cmdSave);
    bottom->addStretch();
    bottom->addWidget(lblCount);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lblState);
    layout->addWidget(tblFrames, 1);
    layout->addLayout(bottom);
    resize(740, 460);

    flushTimer_.setInterval(kFlushMs);
    connect(&flushTimer_, &QTimer::timeout, this, &frmListen::flush);
    connect(&listener_, &link::BusListener::heard, this,
            [this](const std::vector<protocol::BusFrame>& frames) {
                waiting_.insert(waiting_.end(), frames.begin(), frames.end());
            });
    connect(&listener_, &link::BusListener::opened, this, [this] {
        speed_ = listener_.speed();
        lblState->setText(
            speed_ > 0 ? QStringLiteral("Listening on %1 at %2 bit/s; nothing is sent on it.")
                             .arg(source_)
                             .arg(speed_)
                       : QStringLiteral("Listening on %1 at the server's line speed; nothing is sent on it.")
                             .arg(source_));
    });
    connect(&listener_, &link::BusListener::lost, this, [this](const QString&) {
        stop(QStringLiteral("Listening on %1 ended: %2").arg(source_, listener_.port().lostBecause()));
    });
    connect(cmdListen, &QPushButton::clicked, this, &frmListen::cmdListen_Click);
    connect(cmdClear, &QPushButton::clicked, this, [this] {
        waiting_.clear();
        model_->clear();
        showCount();
    });
    connect(cmdOpen, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, QStringLiteral("Open a capture"), QString(), kCaptureFilter);
        if (path.isEmpty()) {
            return;
        }
        if (model_->rowCount() == 0) {
            openCapture(path);
            return;
        }
        // What this window shows stays: the capture comes up in a window of its own.
        auto* window = new frmListen(session_);
        if (!window->openCapture(path, this)) {
            delete window;
            return;
        }
        window->setScreen(screen());
        placeBeside(window, this);
        window->show();
    });
    connect(cmdSave, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, QStringLiteral("Save the capture"), QStringLiteral("trivex-bus.pcapng"), kCaptureFilter);
        if (!path.isEmpty()) {
            saveCapture(path);
        }
    });
    connect(tblFrames->verticalScrollBar(), &QScrollBar::valueChanged, this, &frmListen::fitColumns);
    showCount();
}

QString frmListen::deviceToListen(QString* why) const {
    const QString named = cboPort->currentText().trimmed();
    if (named.isEmpty()) {
        *why =
            QStringLiteral("name the port to listen on: a device such as /dev/ttyUSB1, COM2, or the URL of a "
                           "port on the network.");
        return {};
    }
    QString device = named;
    static const QRegularExpression comNumber(QStringLiteral("^COM([1-9][0-9]?)$"),
                                              QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch com = comNumber.match(named); com.hasMatch()) {
        device = session_.ports().choice(com.captured(1).toInt()).device;
        if (device.isEmpty()) {
            *why = QStringLiteral("%1 stands for no device present.").arg(named.toUpper());
            return {};
        }
    }
    const link::SerialControl& main = session_.MSComm1();
    if ((main.PortOpen() || main.isConnecting() || main.isWatching()) &&
        sameDevice(device, main.devicePath())) {
        *why = QStringLiteral(
                   "%1 is busy: the main window uses it. Listen on a second adapter on the same pair, or "
                   "on a port on the network.")
                   .arg(named);
        return {};
    }
    return device;
}

void frmListen::cmdListen_Click() {
    if (listening_) {
        stop(QStringLiteral("Stopped listening on %1.").arg(source_));
    } else {
        start();
    }
}

void frmListen::start() {
    QString why;
    const QString device = deviceToListen(&why);
    if (!device.isEmpty()) {
        // What the window shows stays: frames heard now follow it, until Clear.
        source_ = cboPort->currentText().trimmed();
        why = listener_.open(device, QStringLiteral("%1,n,8,1").arg(cboSpeed->currentText()));
        why = why.isEmpty() ? why : QStringLiteral("%1 %2").arg(cboPort->currentText().trimmed(), why);
    }
    if (!why.isEmpty()) {
        const QString text = QStringLiteral("Not listening: %1").arg(why);
        lblState->setText(text);
        showMessage(this, QMessageBox::Warning, text);
        return;
    }
    listening_ = true;
    cmdListen->setText(kStop);
    for (QWidget* control :
         {static_cast<QWidget*>(cboPort), static_cast<QWidget*>(cboSpeed), static_cast<QWidget*>(cmdOpen)}) {
        control->setEnabled(false);
    }
    flushTimer_.start();
    if (!listener_.port().PortOpen()) {
        lblState->setText(QStringLiteral("Connecting to %1 to listen...").arg(source_));
    }
    showCount();
}

void frmListen::stop(const QString& state) {
    if (!listening_) {
        return;
    }
    listening_ = false;
    listener_.close(); // what it held comes out
    flushTimer_.stop();
    flush();
    cmdListen->setText(kListen);
    for (QWidget* control :
         {static_cast<QWidget*>(cboPort), static_cast<QWidget*>(cboSpeed), static_cast<QWidget*>(cmdOpen)}) {
        control->setEnabled(true);
    }
    lblState->setText(state);
}

void frmListen::flush() {
    if (waiting_.empty()) {
        return;
    }
    appendFollowing(tblFrames, [this] {
        model_->append(waiting_);
        waiting_.clear();
    });
    fitColumns();
    showCount();
}

void frmListen::showCount() {
    QString text = counted(model_->rowCount(), "frame", "frames");
    if (model_->flagged() > 0) {
        text += QStringLiteral(", %1 marked").arg(model_->flagged());
    }
    if (model_->dropped() > 0) {
        text += QStringLiteral(", %1 let go").arg(counted(model_->dropped(), "older one", "older ones"));
    }
    lblCount->setText(text);
    cmdSave->setEnabled(model_->rowCount() > 0);
}

void frmListen::fitColumns() {
    widenColumnsToRows(
        tblFrames, FrameModel::Columns, [this](int row, int column) { return model_->text(row, column); },
        FrameModel::Bytes);
}

bool frmListen::openCapture(const QString& path, QWidget* teller) {
    QString why;
    const std::optional<link::CaptureContents> contents = link::readCaptureFile(path, &why);
    if (!contents) {
        showMessage(teller ? teller : this, QMessageBox::Warning,
                    QStringLiteral("%1 was not opened: %2. What the window shows stays.").arg(path, why));
        return false;
    }
    model_->clear();
    waiting_.clear();
    model_->append(contents->frames);
    speed_ = contents->speed;
    source_ = path;
    lblState->setText(
        QStringLiteral("Capture %1: %2.").arg(QFileInfo(path).fileName(), contents->description));
    tblFrames->scrollToTop();
    fitColumns();
    showCount();
    return true;
}

bool frmListen::saveCapture(const QString& path) {
    flush();
    const std::vector<protocol::BusFrame> frames(model_->frames().begin(), model_->frames().end());
    const QString error = settings::replaceFile(path, link::captureBytes(frames, speed_));
    if (!error.isEmpty()) {
        showMessage(
            this, QMessageBox::Warning,
            QStringLiteral("The capture was not saved to %1: %2. The frames stay here.").arg(path, error));
        return false;
    }
    return true;
}

} // namespace trivex::forms
