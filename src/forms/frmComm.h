#pragma once

#include <QWidget>

namespace trivex::forms {

class frmMain;

class frmComm : public QWidget {
    Q_OBJECT
public:
    explicit frmComm(frmMain& main);

private:
    frmMain& main_;
};

} // namespace trivex::forms
