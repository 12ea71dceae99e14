#include "forms/tools/frmTraffic.h"

#include "forms/kit/Keyboard.h"
#include "forms/kit/Messages.h"
#include "forms/kit/Style.h"
#include "forms/tools/TrafficModel.h"
#include "protocol/Text.h"
#include "settings/FileAccess.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace trivex::forms {

namespace {

// Entries are put into the table this often, not one by one, so that a burst costs the window
// one update per interval.
constexpr int kFlushMs = 50;

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
    tblTraffic->setObjectName(QStringLiteral("tblTraffic"));
    tblTraffic->setModel(model_);
    tblTraffic->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblTraffic->setWordWrap(false);
    tblTraffic->verticalHeader()->hide();
    tblTraffic->verticalHeader()->setDefaultSectionSize(tblTraffic->fontMetrics().height() + 4);
    tblTraffic->setColumnWidth(TrafficModel::Direction, 70);
    tblTraffic->setColumnWidth(TrafficModel::Bytes, 200);
    tblTraffic->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    tblTraffic->setAccessibleName(QStringLiteral("Traffic"));

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
    lblCount = new QLabel;
    lblCount->setObjectName(QStringLiteral("lblCount"));
    auto* tools = new QHBoxLayout;
    for (QWidget* control : {static_cast<QWidget*>(cmdPause), static_cast<QWidget*>(cmdClear),
                             static_cast<QWidget*>(cmdCopy), static_cast<QWidget*>(cmdSave)}) {
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
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save the traffic"),
                                                          QStringLiteral("trivex-traffic.txt"));
        if (!path.isEmpty()) {
            saveTo(path);
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
    QScrollBar* bar = tblTraffic->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    model_->append(waiting_);
    waiting_.clear();
    if (following) {
        tblTraffic->scrollToBottom();
    }
    fitColumns();
    showCount();
}

void frmTraffic::fitColumns() {
    const int first = std::max(tblTraffic->rowAt(0), 0);
    int last = tblTraffic->rowAt(tblTraffic->viewport()->height() - 1);
    last = last < 0 ? model_->rowCount() - 1 : last;
    const QFontMetrics hex(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics words = tblTraffic->fontMetrics();
    const int padding = 2 * tblTraffic->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8;
    int widths[TrafficModel::Columns] = {};
    for (int column = 0; column < TrafficModel::Columns; ++column) {
        widths[column] = tblTraffic->columnWidth(column);
        for (int row = first; row <= last; ++row) {
            const QFontMetrics& metrics = column == TrafficModel::Bytes ? hex : words;
            widths[column] =
                std::max(widths[column], metrics.horizontalAdvance(model_->text(row, column)) + padding);
        }
    }
    // The meaning fills the rest of the row, and is wider where an entry needs it.
    widths[TrafficModel::Meaning] = std::max(
        widths[TrafficModel::Meaning], tblTraffic->viewport()->width() - widths[TrafficModel::Time] -
                                           widths[TrafficModel::Direction] - widths[TrafficModel::Bytes]);
    for (int column = 0; column < TrafficModel::Columns; ++column) {
        tblTraffic->setColumnWidth(column, widths[column]);
    }
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

bool frmTraffic::saveTo(const QString& path) {
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
