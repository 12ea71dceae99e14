#pragma once

#include "forms/kit/Controls.h"
#include "protocol/Configuration.h"
#include "session/PortSession.h"
#include "settings/IniFile.h"

#include <QWidget>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace trivex::forms {

// "Configure LCD": reprograms a module's address, line speed, default screen and custom
// character bitmaps through the program's port. Loads section "LCD" when it opens and
// stores what the operator changed in it when it closes, bitmap cells included.
class frmLCD : public QWidget {
    Q_OBJECT
public:
    explicit frmLCD(session::PortSession& session);

    QComboBox* cboUID;
    QRadioButton* opt9600;
    QRadioButton* opt4800;
    QLineEdit* txtSU1;
    QLineEdit* txtSU2;
    std::array<QLineEdit*, 64> txtCustom;
    std::array<QLabel*, 8> rowLabels; // Label1 to Label8
    QPushButton* cmdSetLCD;
    QPushButton* cmdSetBaud;
    QPushButton* cmdStartupScreen;
    QPushButton* cmdCustom;

    void Form_Load();
    void Form_Unload();
    void cmdSetLCD_Click();
    void cmdSetBaud_Click();
    void cmdStartupScreen_Click();
    void cmdCustom_Click();

    // The picture of custom character k (1 to 8) shown when hovering its row label.
    QString bitmapPicture(int character) const;
    // The glyph editor of custom character k, as a click on its row label opens it.
    void openGlyphEditor(int character);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SendUID();
    void SendBaudRate();
    void SendDefaultScreen();
    void SendCustomCharacters();
    // The port test of every Set button: runs send while the port is open, else says so.
    void whenPortOpen(void (frmLCD::*send)());
    // Both writes of a configuration command, straight to the port; "Port Not
    // Open" and false when they did not both go out.
    bool write(const protocol::ConfigurationCommand& command);
    void markCell(QLineEdit* cell, bool bad);
    // The keys the window stores, with the values it shows now.
    QList<settings::IniEntry> shownValues() const;

    session::PortSession& session_;
    QList<settings::IniEntry> shownAtLoad_;
    ControlSet controls_;
};

} // namespace trivex::forms
