#pragma once

#include <QMainWindow>

namespace trivex::forms {

// The program's start-up window.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
};

} // namespace trivex::forms
