#include "forms/frmComm.h"

#include "forms/frmMain.h"

namespace trivex::forms {

frmComm::frmComm(frmMain& main)
    : QWidget(nullptr)
    , main_(main) {
    setAttribute(Qt::WA_DeleteOnClose);
}

} // namespace trivex::forms
