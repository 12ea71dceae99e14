#include "forms/frmLCD.h"

#include "forms/frmMain.h"

namespace trivex::forms {

frmLCD::frmLCD(frmMain& main)
    : QWidget(nullptr)
    , main_(main) {
    setAttribute(Qt::WA_DeleteOnClose);
}

} // namespace trivex::forms
