#include "forms/kit/Messages.h"

#include "forms/kit/Texts.h"

#include <QLabel>
#include <QTextDocument>
#include <cstdio>

namespace trivex::forms {

namespace {

bool& toStderr() {
    static bool value = false;
    return value;
}

} // namespace

void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text, const QString& details) {
    if (toStderr()) {
        std::fprintf(stderr, "trivex: %s%s%s\n",
                     qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))),
                     details.isEmpty() ? "" : " ", qPrintable(details));
        return;
    }
    QMessageBox box(icon, texts::kApplicationTitle, text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("message"));
    box.setTextFormat(Qt::PlainText);
    if (!details.isEmpty()) {
        box.setInformativeText(details);
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
            label->setTextFormat(Qt::PlainText);
        }
    }
    box.exec();
}

void setMessagesToStderr(bool value) {
    toStderr() = value;
}

QString plainToolTip(const QString& text) {
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

void tellPortNotOpen(QWidget* window, const session::PortSession& session) {
    showMessage(window, QMessageBox::Warning, texts::kPortNotOpen, capitalised(session.closedReason()) + '.');
}

} // namespace trivex::forms
