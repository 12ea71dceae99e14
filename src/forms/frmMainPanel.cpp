// The control panel of the main window: selecting a module and reading its input, each display
// control's command to the selected module, what it changes in the window, and the typing rule
// of its two lines.

#include "forms/frmMain.h"
#include "forms/kit/Frame.h"
#include "forms/kit/Style.h"
#include "forms/kit/Texts.h"
#include "protocol/Display.h"
#include "protocol/Markers.h"
#include "protocol/Selection.h"
#include "protocol/Text.h"
#include "session/DisplayText.h"

#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace trivex::forms {

// The exchanges: selecting and releasing a module, and its input line.
void frmMain::cmdSelect_Click() {
    const QString text = cboAddr->currentText();
    const std::optional<std::uint8_t> address = protocol::parseByte(text.toStdString());
    if (!address) {
        setStatusText(texts::kAddressRefused.arg(text));
        return;
    }
    if (link_.selectDevice(*address)) {
        setStatusText(texts::kUidPrefix + cboAddr->currentText() + texts::kConnectedSuffix);
        cmdSelect->setEnabled(false);
        cmdDeselect->setEnabled(true);
        mnuConfig->setEnabled(false);
    } else {
        setStatusText(texts::kDeviceNotFound);
    }
}

void frmMain::cmdDeselect_Click() {
    if (link_.releaseDevice()) {
        setStatusText(texts::kDeviceDisconnected);
        cmdSelect->setEnabled(true);
        cmdDeselect->setEnabled(false);
        mnuConfig->setEnabled(true);
    } else {
        setStatusText(texts::kNoResponse);
    }
}

void frmMain::cmdInput_Click() {
    const link::InputOutcome outcome = link_.queryInput();
    if (!outcome.answered) {
        setStatusText(texts::kNoResponse);
    } else if (outcome.level) {
        Label4->setText(*outcome.level == protocol::InputLevel::High ? texts::kHigh : texts::kLow);
    }
}

void frmMain::cmdSendAscii_Click() {
    if (const auto message = session::textMessage(txtLine1->text(), txtLine2->text())) {
        link_.SendCommand(*message);
    }
}

void frmMain::cmdClearLCD_Click() {
    link_.SendCommand(protocol::clearDisplay());
    txtLine1->clear();
    txtLine2->clear();
}

void frmMain::applyLook(const QColor& background, const QColor& text) {
    for (QLineEdit* line : {txtLine1, txtLine2}) {
        QPalette look = line->palette();
        look.setColor(QPalette::Base, background);
        look.setColor(QPalette::Text, text);
        line->setPalette(look);
    }
}

void frmMain::optBlue_Click() {
    if (optBlue->isChecked()) {
        applyLook(kBlue, kWhite);
    }
}

void frmMain::optYG_Click() {
    if (optYG->isChecked()) {
        applyLook(kGreen, QApplication::palette().color(QPalette::Text));
    }
}

void frmMain::optUC_Click() {
    link_.SendCommand(protocol::underlineCursor());
}
void frmMain::optBC_Click() {
    link_.SendCommand(protocol::blinkingCursor());
}
void frmMain::optHC_Click() {
    link_.SendCommand(protocol::hideCursor());
}

std::optional<std::uint8_t> frmMain::selectedPosition(QComboBox* list) {
    const int named = list->findText(list->currentText().trimmed(), Qt::MatchFixedString);
    if (named < 0) {
        // Typed text that names no entry: nothing is sent, and the list shows its entry again.
        list->setEditText(list->itemText(list->currentIndex()));
        QApplication::beep();
        return std::nullopt;
    }
    list->setCurrentIndex(named);
    return static_cast<std::uint8_t>(named);
}

void frmMain::cmdSetCursor_Click() {
    const auto row = selectedPosition(cboRow);
    const auto column = selectedPosition(cboColumn);
    if (row && column) {
        link_.SendCommand(protocol::setCursorPosition(*row, *column));
    }
}

void frmMain::cmdClrRow_Click() {
    if (const auto row = selectedPosition(cboRow)) {
        link_.SendCommand(protocol::clearRow(*row));
    }
}

void frmMain::cmdClrColumn_Click() {
    if (const auto column = selectedPosition(cboColumn)) {
        link_.SendCommand(protocol::clearColumn(*column));
    }
}

void frmMain::optBLON_Click() {
    link_.SendCommand(protocol::backlightOn());
}
void frmMain::optBLOFF_Click() {
    link_.SendCommand(protocol::backlightOff());
}
void frmMain::optBlink_Click() {
    link_.SendCommand(protocol::backlightBlink());
}

void frmMain::cmdInitGraph_Click() {
    link_.SendCommand(protocol::initGraph());
    cmdLtoR->setEnabled(true);
    cmdRToL->setEnabled(true);
    Frame7->setEnabled(false);
}

void frmMain::cmdLtoR_Click() {
    if (const auto length = selectedPosition(cboGraph)) {
        link_.SendCommand(protocol::graphLeftToRight(*length));
    }
}

void frmMain::cmdRToL_Click() {
    if (const auto length = selectedPosition(cboGraph)) {
        link_.SendCommand(protocol::graphRightToLeft(*length));
    }
}

void frmMain::cmdChar_Click(int index) {
    link_.SendCommand(protocol::customCharacter(index + 1));
}

void frmMain::cmdShowStartup_Click() {
    link_.SendCommand(protocol::showDefaultScreen());
}
void frmMain::cmdOnOutput_Click() {
    link_.SendCommand(protocol::outputOn());
}
void frmMain::cmdOffOutput_Click() {
    link_.SendCommand(protocol::outputOff());
}

// The line-box key rule: a key that produces a character in a full line moves the focus to the
// other line. The key itself is not consumed; the full line still handles (and refuses) it.
// Text an input method commits (a dead key, compose, an IME) counts as typed.
bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtLine1 || watched == txtLine2) {
        bool producesCharacter = false;
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            producesCharacter = !key->text().isEmpty() && key->key() != Qt::Key_Delete &&
                                key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab;
        } else if (event->type() == QEvent::InputMethod) {
            producesCharacter = !static_cast<QInputMethodEvent*>(event)->commitString().isEmpty();
        }
        auto* line = static_cast<QLineEdit*>(watched);
        if (producesCharacter && line->text().size() == protocol::kLineLength) {
            (line == txtLine1 ? txtLine2 : txtLine1)->setFocus(Qt::OtherFocusReason);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace trivex::forms
