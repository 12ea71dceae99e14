#pragma once

#include "forms/kit/Controls.h"
#include "session/PortSession.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace trivex::forms {

// "Comm Port Settings": shows the port number and line settings the program runs with,
// switches the program's one port on "SET", and stores both when it closes.
class frmComm : public QWidget {
    Q_OBJECT
public:
    explicit frmComm(session::PortSession& session);

    QComboBox* cboComm;
    QComboBox* cboBaud;
    QPushButton* cmdSetPort;
    QLabel* lblPortState; // the port's state: open, or why it is closed

    void Form_Load();
    void cmdSetPort_Click();
    void Form_Unload();

    void showState(const QString& text);
    const QString& stateText() const { return state_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void describePorts();

    session::PortSession& session_;
    ControlSet controls_;
    QString state_;
    QString portAtLoad_; // the values shown when the window opened
    QString settingsAtLoad_;
};

} // namespace trivex::forms
