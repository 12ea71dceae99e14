#pragma once

#include <QWidget>

namespace trivex::forms {

class frmMain;

class frmLCD : public QWidget {
    Q_OBJECT
public:
    explicit frmLCD(frmMain& main);

private:
    frmMain& main_;
};

} // namespace trivex::forms
