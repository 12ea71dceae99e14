#include "sim/ui/SimWindow.h"

#include "icons/Icon.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace trivex::sim {

SimWindow::SimWindow(BusPort& bus, QWidget* parent)
    : QWidget(parent)
    , bus_(bus) {
    setWindowTitle(QStringLiteral("TRIVEX virtual module - %1").arg(bus.linkPath()));
    setWindowIcon(icons::programIcon(QStringLiteral("trivex-sim")));
    auto* layout = new QVBoxLayout(this);

    // The line that leads trivex's port to this bus, for a start from a launcher, where nobody
    // reads standard output.
    auto* lead = new QHBoxLayout;
    auto* portsLine = new QLineEdit(QStringLiteral("COM1=%1").arg(bus.linkPath()));
    portsLine->setObjectName(QStringLiteral("portsLine"));
    portsLine->setReadOnly(true);
    portsLine->setAccessibleName(QStringLiteral("Line for the Ports section of trivex.ini"));
    auto* copy = new QPushButton(QStringLiteral("Copy"));
    copy->setObjectName(QStringLiteral("copyPortsLine"));
    connect(copy, &QPushButton::clicked, this,
            [portsLine] { QApplication::clipboard()->setText(portsLine->text()); });
    auto* leadLabel = new QLabel(QStringLiteral("Under [Ports] in trivex.ini:"));
    leadLabel->setBuddy(portsLine);
    lead->addWidget(leadLabel);
    lead->addWidget(portsLine, 1);
    lead->addWidget(copy);
    layout->addLayout(lead);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Bus: %1 (%2)").arg(bus.linkPath(), bus.carrier())));
    top->addStretch();
    top->addWidget(new QLabel(QStringLiteral("Colours:")));
    auto* model = new QComboBox;
    model->addItems(
        {QStringLiteral("blue, white characters"), QStringLiteral("yellow-green, dark characters")});
    top->addWidget(model);
    layout->addLayout(top);

    for (std::size_t i = 0; i < bus.bus().modules().size(); ++i) {
        Module& module = bus.bus().modules()[i];
        auto* frame = new QGroupBox;
        auto* row = new QHBoxLayout(frame);
        Panel panel{new DisplayWidget(module.display), new QLabel, new QLabel,
                    new QCheckBox(QStringLiteral("Input HIGH"))};
        row->addWidget(panel.display);
        auto* side = new QVBoxLayout;
        side->addWidget(panel.status);
        side->addWidget(panel.output);
        side->addWidget(panel.input);
        side->addStretch();
        row->addLayout(side);
        panel.input->setChecked(module.inputHigh);
        connect(panel.input, &QCheckBox::toggled, this, [this, i](bool high) {
            bus_.bus().modules()[i].inputHigh = high;
            appendLog(QStringLiteral("  input line of %1 switched %2")
                          .arg(bus_.bus().modules()[i].settings.address)
                          .arg(high ? QStringLiteral("HIGH") : QStringLiteral("LOW")));
        });
        layout->addWidget(frame);
        panels_.push_back(panel);
    }
    connect(model, &QComboBox::currentIndexChanged, this, [this](int index) {
        for (const Panel& panel : panels_) {
            panel.display->setColourModel(index == 0 ? ColourModel::BlueWhite : ColourModel::YellowGreen);
        }
    });

    log_ = new QPlainTextEdit;
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(5000);
    log_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    log_->setMinimumHeight(180);
    layout->addWidget(log_, 1);

    // Every decoded command may change what a display shows (cursor and backlight included).
    connect(&bus, &BusPort::logged, this, [this](const QString& line) {
        appendLog(line);
        for (const Panel& panel : panels_) {
            panel.display->update();
        }
    });
    connect(&bus, &BusPort::stateChanged, this, &SimWindow::refresh);
    refresh();
}

void SimWindow::appendLog(const QString& line) {
    log_->appendPlainText(line);
}

void SimWindow::refresh() {
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        const Module& module = bus_.bus().modules()[i];
        panels_[i].status->setText(QStringLiteral("Address %1\n%2 bit/s\n%3")
                                       .arg(module.settings.address)
                                       .arg(module.settings.lineSpeed)
                                       .arg(module.selected      ? QStringLiteral("selected")
                                            : module.configuring ? QStringLiteral("configuring")
                                                                 : QStringLiteral("not selected")));
        panels_[i].output->setText(module.outputOn ? QStringLiteral("\u25CF Output ON")
                                                   : QStringLiteral("\u25CB Output OFF"));
        QPalette palette = panels_[i].output->palette();
        palette.setColor(QPalette::WindowText, module.outputOn ? QColor(0, 150, 0) : QColor(110, 110, 110));
        panels_[i].output->setPalette(palette);
        panels_[i].display->update();
    }
}

} // namespace trivex::sim
