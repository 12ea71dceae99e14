#include "forms/tools/frmTraffic.h"

#include "forms/kit/Keyboard.h"
#include "forms/kit/Messages.h"
#include "forms/kit/Style.h"
#include "forms/kit/Table.h"
#include "forms/tools/TrafficModel.h"
#include "forms/tools/frmListen.h"
#include "link/CaptureFile.h"
#include "protocol/Text.h"
#include "settings/FileAccess.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace trivex::forms {

namespace {

// Entries are put into the table this often, not one by one, so that a burst costs the window
// one update per interval.
constexpr int kFlushMs = 50;

const QString kTextFilter = QStringLiteral("Text (*.txt)");
const QString kCaptureFilter = QStringLiteral("Captures (*.pcapng)");

bool isCapturePath(const QString& path) {
    return path.endsWith(QStringLiteral(".pcapng"), Qt::CaseInsensitive);
}

const QString kHexRefused =
    QStringLiteral("\"%1\" was not sent: write bytes as pairs of hex digits, as FE 14 or fe14.");

// "1 entry", "2 entries".
QString counted(qint64 count, const char* one, const char* many) {
    return QStringLiteral("%L1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

} // namespace

frmTraffic::frmTraffic(session::PortSession& session)
    : QWidget(nullptr)
    , session_(session)
    , model_(new TrafficModel(kKeptEntries, this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmTraffic"));
    setWindowTitle(QStringLiteral("Traffic Monitor"));
    closeOnEscape(this);
    setWindowIcon(applicationIcon());
    model_->setClock(QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs(), QDateTime::currentDateTime());

    tblTraffic = new QTableView;
    tblTraffic->setModel(model_);
    setUpLogTable(tblTraffic, QStringLiteral("tblTraffic"), QStringLiteral("Traffic"));
    tblTraffic->setColumnWidth(TrafficModel::Direction, 70);
    tblTraffic->setColumnWidth(TrafficModel::Bytes, 200);

    auto button = [](const QString& caption, const char* name) {
        auto* push = new QPushButton(caption);
        push->setObjectName(QString::fromLatin1(name));
        return push;
    };
    cmdPause = button(QStringLiteral("&Pause"), "cmdPause");
    cmdPause->setCheckable(true);
    cmdClear = button(QStringLiteral("&Clear"), "cmdClear");
    cmdCopy = button(QStringLiteral("C&opy"), "cmdCopy");
    cmdSave = button(QStringLiteral("Sa&ve..."), "cmdSave");
    cmdSave->setToolTip(QStringLiteral("As text, or as a capture that Wireshark reads (a .pcapng file)"));
    cmdOpen = button(QStringLiteral("Ope&n..."), "cmdOpen");
    cmdOpen->setToolTip(QStringLiteral("A capture, shown in a window of its own"));
    lblCount = new QLabel;
    lblCount->setObjectName(QStringLiteral("lblCount"));
    auto* tools = new QHBoxLayout;
    for (QWidget* control :
         {static_cast<QWidget*>(cmdPause), static_cast<QWidget*>(cmdClear), static_cast<QWidget*>(cmdCopy),
          static_cast<QWidget*>(cmdSave), static_cast<QWidget*>(cmdOpen)}) {
        tools->addWidget(control);
    }
    tools->addStretch();
    tools->addWidget(lblCount);

    auto* sending = new QHBoxLayout;
    auto* rawLabel = new QLabel(QStringLiteral("Send &bytes (hex):"));
    txtRaw = new QLineEdit;
    txtRaw->setObjectName(QStringLiteral("txtRaw"));
    txtRaw->setPlaceholderText(QStringLiteral("FE 14"));
    txtRaw->setAccessibleName(QStringLiteral("Bytes to send, in hex"));
    rawLabel->setBuddy(txtRaw);
    cmdSendRaw = button(QStringLiteral("S&end"), "cmdSendRaw");
    sending->addWidget(rawLabel);
    sending->addWidget(txtRaw, 1);
    sending->addWidget(cmdSendRaw);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tblTraffic, 1);
    layout->addLayout(tools);
    layout->addLayout(sending);
    resize(720, 420);

    flushTimer_.setInterval(kFlushMs);
    connect(&flushTimer_, &QTimer::timeout, this, &frmTraffic::flush);
    flushTimer_.start();
    connect(&session_.MSComm1(), &link::SerialControl::traffic, this, &frmTraffic::take);
    connect(tblTraffic->verticalScrollBar(), &QScrollBar::valueChanged, this, &frmTraffic::fitColumns);
    connect(cmdPause, &QPushButton::toggled, this, [this](bool paused) {
        if (!paused) {
            flush();
        }
        showCount();
    });
    connect(cmdClear, &QPushButton::clicked, this, [this] {
        model_->clear();
        waiting_.clear();
        droppedWhileWaiting_ = 0;
        showCount();
    });
    connect(cmdCopy, &QPushButton::clicked, this, &frmTraffic::copySelection);
    connect(cmdSave, &QPushButton::clicked, this, [this] {
        QString filter = kTextFilter;
        QString path = QFileDialog::getSaveFileName(
            this, QStringLiteral("Save the traffic"), QStringLiteral("trivex-traffic.txt"),
            kTextFilter + QStringLiteral(";;") + kCaptureFilter, &filter);
        if (!path.isEmpty() && filter == kCaptureFilter && !isCapturePath(path)) {
            path += QStringLiteral(".pcapng");
        }
        if (!path.isEmpty()) {
            saveTo(path);
        }
    });
    connect(cmdOpen, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open a capture"), QString(),
                                                          kCaptureFilter + QStringLiteral(";;All files (*)"));
        if (!path.isEmpty()) {
            openCapture(path);
        }
    });
    connect(cmdSendRaw, &QPushButton::clicked, this, &frmTraffic::sendRaw);
    connect(txtRaw, &QLineEdit::returnPressed, this, &frmTraffic::sendRaw);
    showCount();
}

void frmTraffic::take(const link::TrafficEntry& entry) {
    waiting_.push_back(entry);
    // While the table stands still, the entries waiting are bounded as the table is; the
    // oldest goes at the cost of one entry, however many wait.
    if (waiting_.size() > static_cast<std::size_t>(kKeptEntries)) {
        waiting_.pop_front();
        ++droppedWhileWaiting_;
    }
}

void frmTraffic::flush() {
    if (cmdPause->isChecked()) {
        showCount(); // the count of entries waiting goes on
        return;
    }
    if (waiting_.empty()) {
        return;
    }
    appendFollowing(tblTraffic, [this] {
        model_->append(waiting_);
        waiting_.clear();
    });
    fitColumns();
    showCount();
}

void frmTraffic::fitColumns() {
    std::vector<int> widths = widenColumnsToRows(
        tblTraffic, TrafficModel::Columns, [this](int row, int column) { return model_->text(row, column); },
        TrafficModel::Bytes);
    // The meaning fills the rest of the row, and is wider where an entry needs it.
    const int rest = tblTraffic->viewport()->width() - widths[TrafficModel::Time] -
                     widths[TrafficModel::Direction] - widths[TrafficModel::Bytes];
    tblTraffic->setColumnWidth(TrafficModel::Meaning, std::max(widths[TrafficModel::Meaning], rest));
}

void frmTraffic::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitColumns();
}

void frmTraffic::showCount() {
    QString text = counted(model_->rowCount(), "entry", "entries");
    if (const qint64 dropped = model_->dropped() + droppedWhileWaiting_; dropped > 0) {
        text += QStringLiteral(", %1 let go").arg(counted(dropped, "older one", "older ones"));
    }
    if (cmdPause->isChecked()) {
        text += QStringLiteral("; paused, %1 waiting")
                    .arg(counted(static_cast<qint64>(waiting_.size()), "entry", "entries"));
    }
    lblCount->setText(text);
}

void frmTraffic::copySelection() {
    QStringList lines;
    QModelIndexList rows = tblTraffic->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    for (const QModelIndex& row : rows) {
        lines << model_->line(row.row());
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + (lines.isEmpty() ? "" : "\n"));
}

QWidget* frmTraffic::openCapture(const QString& path) {
    auto* window = new frmListen(session_);
    if (!window->openCapture(path, this)) {
        delete window;
        return nullptr;
    }
    window->setScreen(screen());
    placeBeside(window, this);
    window->show();
    return window;
}

bool frmTraffic::saveTo(const QString& path) {
    if (isCapturePath(path)) {
        const QString settings = session_.MSComm1().Settings();
        const int speed =
            session_.MSComm1().setsLineSpeed() ? settings.section(QLatin1Char(','), 0, 0).toInt() : 0;
        const QString error = settings::replaceFile(path, link::captureBytes(model_->frames(), speed));
        if (!error.isEmpty()) {
            showMessage(this, QMessageBox::Warning,
                        QStringLiteral("The capture was not saved to %1: %2. The entries stay here.")
                            .arg(path, error));
        }
        return error.isEmpty();
    }
    QByteArray text =
        QStringLiteral("# trivex %1 traffic, saved %2\n# %3\n# %4\n")
            .arg(QStringLiteral(TRIVEX_VERSION), QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
                 session_.portState(), QStringLiteral("Time\tDirection\tBytes\tMeaning"))
            .toUtf8();
    for (int row = 0; row < model_->rowCount(); ++row) {
        text += model_->line(row).toUtf8() + '\n';
    }
    const QString error = settings::replaceFile(path, text);
    if (!error.isEmpty()) {
        showMessage(
            this, QMessageBox::Warning,
            QStringLiteral("The traffic was not saved to %1: %2. The entries stay here.").arg(path, error));
        return false;
    }
    return true;
}

void frmTraffic::sendRaw() {
    const std::optional<protocol::Bytes> bytes = protocol::parseHexBytes(txtRaw->text().toStdString());
    if (!bytes) {
        showMessage(this, QMessageBox::Warning, kHexRefused.arg(txtRaw->text()));
        return;
    }
    if (!session_.link().SendCommand(*bytes)) {
        tellPortNotOpen(this, session_);
    }
}

} // namespace trivex::forms
