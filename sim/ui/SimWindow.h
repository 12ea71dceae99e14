#pragma once

#include "sim/runtime/BusPort.h"
#include "sim/ui/DisplayWidget.h"

#include <QWidget>
#include <vector>

class QCheckBox;
class QLabel;
class QPlainTextEdit;

namespace trivex::sim {

// One display a module, with its address, speed, selection and output line, a switch for its
// input line, and the decoded traffic below.
class SimWindow : public QWidget {
    Q_OBJECT
public:
    explicit SimWindow(BusPort& bus, QWidget* parent = nullptr);

    void appendLog(const QString& line);

private:
    struct Panel {
        DisplayWidget* display;
        QLabel* status;
        QLabel* output;
        QCheckBox* input;
    };
    void refresh();

    BusPort& bus_;
    std::vector<Panel> panels_;
    QPlainTextEdit* log_;
};

} // namespace trivex::sim
