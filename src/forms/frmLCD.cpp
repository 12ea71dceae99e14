#include "forms/frmLCD.h"

#include "forms/frmLCDLayout.h"
#include "forms/kit/Keyboard.h"
#include "forms/kit/LineBox.h"
#include "forms/kit/Messages.h"
#include "forms/kit/StoreSettings.h"
#include "forms/kit/Style.h"
#include "forms/kit/Twips.h"
#include "forms/tools/frmGlyph.h"
#include "protocol/Configuration.h"
#include "protocol/Markers.h"
#include "protocol/Text.h"
#include "session/DisplayText.h"
#include "session/Texts.h"
#include "settings/Profile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QToolTip>

namespace trivex::forms {

namespace {

const QString kSection = QStringLiteral("LCD");
// How the glyph editor of a row is opened, as its label tells it.
const QString kEditorKeys =
    QStringLiteral("Click to draw it, or press Enter or Space on this label, or F2 in a cell of the row.");
constexpr int kCellLength = 3;

const QString kCellRefused = QStringLiteral("CHAR %1, byte %2: \"%3\" is not a whole number from 0 to 255.\n"
                                            "%4. Nothing was sent.");
const QColor kMarked(255, 190, 190);

QString customKey(int cell) {
    return QStringLiteral("Custom%1").arg(cell + 1);
}

} // namespace

frmLCD::frmLCD(session::PortSession& session)
    : QWidget(nullptr)
    , session_(session) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmLCD"));
    setWindowTitle(QStringLiteral("Configure LCD"));
    controls_.build(this, frmLCDLayout());
    cboUID = controls_.get<QComboBox>("cboUID");
    opt9600 = controls_.get<QRadioButton>("opt9600");
    opt4800 = controls_.get<QRadioButton>("opt4800");
    txtSU1 = controls_.get<QLineEdit>("txtSU1");
    txtSU2 = controls_.get<QLineEdit>("txtSU2");
    cmdSetLCD = controls_.get<QPushButton>("cmdSetLCD");
    cmdSetBaud = controls_.get<QPushButton>("cmdSetBaud");
    cmdStartupScreen = controls_.get<QPushButton>("cmdStartupScreen");
    cmdCustom = controls_.get<QPushButton>("cmdCustom");
    for (int i = 0; i < kBitmapCells; ++i) {
        QLineEdit* cell = controls_.get<QLineEdit>(arrayElement("txtCustom", i));
        cell->setAlignment(Qt::AlignCenter);
        limitTyping(cell, kCellLength, false);
        cell->setAccessibleName(QStringLiteral("CHAR %1, byte %2").arg(i / 8 + 1).arg(i % 8 + 1));
        connect(cell, &QLineEdit::textChanged, this, [this, cell] {
            if (cell->property("marked").toBool() && protocol::parseByte(cell->text().toStdString())) {
                markCell(cell, false);
            }
        });
        txtCustom[static_cast<std::size_t>(i)] = cell;
    }
    for (int k = 1; k <= kBitmapRows; ++k) {
        QLabel* label = controls_.get<QLabel>(QStringLiteral("Label%1").arg(k));
        label->installEventFilter(this);
        label->setCursor(Qt::PointingHandCursor);
        // It takes the focus from a click or an assistive tool, and is no tab stop: the laid-out
        // tab order stays as it is.
        label->setFocusPolicy(Qt::ClickFocus);
        label->setAccessibleDescription(kEditorKeys);
        rowLabels[static_cast<std::size_t>(k - 1)] = label;
    }
    for (QLineEdit* cell : txtCustom) {
        cell->installEventFilter(this);
    }
    closeOnEscape(this);
    cboUID->setAccessibleName(QStringLiteral("UID"));
    txtSU1->setAccessibleName(QStringLiteral("Line 1 of the default screen"));
    txtSU2->setAccessibleName(QStringLiteral("Line 2 of the default screen"));
    QPalette green = txtSU1->palette();
    green.setColor(QPalette::Base, kGreen);
    for (QLineEdit* line : {txtSU1, txtSU2}) {
        line->setFont(lineBoxFont());
        line->setPalette(green);
        limitTyping(line, protocol::kLineLength, true);
    }
    makeFixedWindow(this, twipsSize(kConfigClientWidth, kConfigClientHeight));

    connect(cmdSetLCD, &QPushButton::clicked, this, &frmLCD::cmdSetLCD_Click);
    connect(cmdSetBaud, &QPushButton::clicked, this, &frmLCD::cmdSetBaud_Click);
    connect(cmdStartupScreen, &QPushButton::clicked, this, &frmLCD::cmdStartupScreen_Click);
    connect(cmdCustom, &QPushButton::clicked, this, &frmLCD::cmdCustom_Click);
    Form_Load();
}

void frmLCD::Form_Load() {
    const QString uid = settings::ReadINI(kSection, QStringLiteral("UID"));
    const QString baud = settings::ReadINI(kSection, QStringLiteral("Baud"));
    const QString line1 = settings::ReadINI(kSection, QStringLiteral("Line1"));
    const QString line2 = settings::ReadINI(kSection, QStringLiteral("Line2"));
    fillNumbers(cboUID, 101, 132);
    cboUID->setEditText(uid);
    (baud == QLatin1String("9600") ? opt9600 : opt4800)->setChecked(true);
    putText(txtSU1, line1);
    putText(txtSU2, line2);
    for (int i = 0; i < kBitmapCells; ++i) {
        putText(txtCustom[static_cast<std::size_t>(i)], settings::ReadINI(kSection, customKey(i)));
    }
    shownAtLoad_ = shownValues();
}

QList<settings::IniEntry> frmLCD::shownValues() const {
    QList<settings::IniEntry> shown{{kSection, QStringLiteral("UID"), cboUID->currentText()},
                                    {kSection, QStringLiteral("Baud"),
                                     opt9600->isChecked() ? QStringLiteral("9600") : QStringLiteral("4800")},
                                    {kSection, QStringLiteral("Line1"), txtSU1->text()},
                                    {kSection, QStringLiteral("Line2"), txtSU2->text()}};
    for (int i = 0; i < kBitmapCells; ++i) {
        shown.append({kSection, customKey(i), txtCustom[static_cast<std::size_t>(i)]->text()});
    }
    return shown;
}

// What the operator changed here is stored; what was left alone keeps whatever the file holds
// by then (another copy's change, a hand edit), and the four keys of the window are written
// where the file lacks them. A bitmap cell is stored only when it was changed here.
void frmLCD::Form_Unload() {
    QList<settings::IniEntry> entries;
    const QList<settings::IniEntry> now = shownValues();
    for (qsizetype i = 0; i < now.size(); ++i) {
        settings::IniEntry entry = now[i];
        entry.onlyIfMissing = entry.value == shownAtLoad_[i].value;
        if (!entry.onlyIfMissing || !entry.key.startsWith(QLatin1String("Custom"))) {
            entries.append(entry);
        }
    }
    // Closing is never refused; keys the file refuses are named in a warning.
    storeSettings(this, entries);
}

void frmLCD::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmLCD::whenPortOpen(void (frmLCD::*send)()) {
    if (session_.MSComm1().PortOpen()) {
        (this->*send)();
    } else {
        tellPortNotOpen(this, session_);
    }
}

void frmLCD::cmdSetLCD_Click() {
    whenPortOpen(&frmLCD::SendUID);
}
void frmLCD::cmdSetBaud_Click() {
    whenPortOpen(&frmLCD::SendBaudRate);
}
void frmLCD::cmdStartupScreen_Click() {
    whenPortOpen(&frmLCD::SendDefaultScreen);
}
void frmLCD::cmdCustom_Click() {
    whenPortOpen(&frmLCD::SendCustomCharacters);
}

bool frmLCD::write(const protocol::ConfigurationCommand& command) {
    if (session_.link().writeConfiguration(command.write1, command.write2)) {
        return true;
    }
    tellPortNotOpen(this, session_);
    return false;
}

void frmLCD::SendUID() {
    const auto uid = protocol::parseByte(cboUID->currentText().toStdString());
    if (!uid) {
        showMessage(this, QMessageBox::Warning, texts::kUidRefused.arg(cboUID->currentText()));
        return;
    }
    if (write(protocol::setUid(*uid))) {
        showMessage(this, QMessageBox::Information, texts::kUidChanged);
    }
}

void frmLCD::SendBaudRate() {
    if (write(protocol::setLineSpeed(opt9600->isChecked() ? protocol::LineSpeed::Baud9600
                                                          : protocol::LineSpeed::Baud4800))) {
        showMessage(this, QMessageBox::Information, texts::kBaudChanged);
    }
}

void frmLCD::SendDefaultScreen() {
    // A line longer than the display, or one holding a marker byte, would spill into commands
    // that every module takes: refused before anything is written, the boxes as they were.
    QString refusal;
    const auto command = session::defaultScreenCommand(txtSU1->text(), txtSU2->text(), &refusal);
    if (!command) {
        showMessage(this, QMessageBox::Warning, refusal);
        return;
    }
    putText(txtSU1, session::lineAsSent(txtSU1->text()));
    putText(txtSU2, session::lineAsSent(txtSU2->text()));
    if (write(*command)) {
        showMessage(this, QMessageBox::Information, texts::kScreenChanged);
    }
}

void frmLCD::SendCustomCharacters() {
    // Every cell is checked before anything goes out, so that a bad cell never leaves the
    // module inside a configuration exchange that no stop frame ends.
    // All bad cells are marked at once; a mark goes when its cell holds a byte again.
    protocol::CustomBitmaps bitmaps{};
    std::vector<int> bad;
    for (int i = 0; i < kBitmapCells; ++i) {
        QLineEdit* cell = txtCustom[static_cast<std::size_t>(i)];
        const auto value = protocol::parseByte(cell->text().toStdString());
        markCell(cell, !value);
        if (!value) {
            bad.push_back(i);
        }
        bitmaps[static_cast<std::size_t>(i)] = value.value_or(0);
    }
    if (!bad.empty()) {
        const int first = bad.front();
        QLineEdit* cell = txtCustom[static_cast<std::size_t>(first)];
        showMessage(this, QMessageBox::Warning,
                    kCellRefused.arg(first / 8 + 1)
                        .arg(first % 8 + 1)
                        .arg(cell->text())
                        .arg(bad.size() == 1
                                 ? QStringLiteral("It is marked")
                                 : QStringLiteral("%1 cells hold no byte; they are marked").arg(bad.size())));
        cell->setFocus(Qt::OtherFocusReason);
        cell->selectAll();
        return;
    }
    if (write(protocol::loadCustomCharacters(bitmaps))) {
        showMessage(this, QMessageBox::Information, texts::kCharactersLoaded);
    }
}

QString frmLCD::bitmapPicture(int character) const {
    // Eight rows of five dots, the low five bits of each cell; a cell that is not a number
    // shows as a row of grey.
    QString html =
        QStringLiteral("<b>CHAR %1</b><table cellspacing=\"1\" cellpadding=\"0\" bgcolor=\"#808080\">")
            .arg(character);
    for (int row = 0; row < protocol::kBytesPerCustomCharacter; ++row) {
        const QLineEdit* cell = txtCustom[static_cast<std::size_t>((character - 1) * 8 + row)];
        const auto value = protocol::parseByte(cell->text().toStdString());
        html += QStringLiteral("<tr>");
        for (int bit = 4; bit >= 0; --bit) {
            const QString colour = !value                ? QStringLiteral("#c0c0c0")
                                   : (*value >> bit) & 1 ? QStringLiteral("#000000")
                                                         : QStringLiteral("#ffffff");
            html += QStringLiteral("<td width=\"10\" height=\"10\" bgcolor=\"%1\"></td>").arg(colour);
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>") + kEditorKeys;
}

void frmLCD::markCell(QLineEdit* cell, bool bad) {
    QPalette palette = cell->palette();
    palette.setColor(QPalette::Base, bad ? kMarked : QApplication::palette().color(QPalette::Base));
    cell->setPalette(palette);
    cell->setProperty("marked", bad);
}

void frmLCD::openGlyphEditor(int character) {
    QStringList cells;
    for (const QLineEdit* cell : txtCustom) {
        cells << cell->text();
    }
    frmGlyph editor(cells, character, this);
    if (editor.exec() != QDialog::Accepted) {
        return;
    }
    const QStringList edited = editor.cells();
    for (int i = 0; i < kBitmapCells; ++i) {
        if (edited[i] != cells[i]) {
            putText(txtCustom[static_cast<std::size_t>(i)], edited[i]);
        }
    }
}

// A row label shows its character's picture when hovered, and opens the glyph editor when
// clicked, or with Enter or Space once it has the focus; F2 in a cell of the row opens it too.
bool frmLCD::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        for (int i = 0; i < kBitmapCells; ++i) {
            if (watched == txtCustom[static_cast<std::size_t>(i)] && key == Qt::Key_F2) {
                openGlyphEditor(i / 8 + 1);
                return true;
            }
        }
        for (int k = 1; k <= kBitmapRows; ++k) {
            if (watched == rowLabels[static_cast<std::size_t>(k - 1)] &&
                (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
                openGlyphEditor(k);
                return true;
            }
        }
    }
    for (int k = 1; k <= kBitmapRows; ++k) {
        QLabel* label = rowLabels[static_cast<std::size_t>(k - 1)];
        if (watched != label) {
            continue;
        }
        if (event->type() == QEvent::ToolTip) {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), bitmapPicture(k), label);
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            openGlyphEditor(k);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace trivex::forms
