#include "forms/frmMain.h"

namespace trivex::forms {

frmMain::frmMain(QWidget* parent)
    : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("TRIVEX-RS485 Application"));
}

} // namespace trivex::forms
