#include "Script.h"

#include "forms/kit/LineBox.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

namespace trivex::test {

void type(QWidget* widget, const QString& text) {
    for (const QChar character : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
    }
}

void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

void act(QWidget* window, const QString& script) {
    for (const QString& step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString verb = step.trimmed().section(QLatin1Char(' '), 0, 0);
        const QString rest = step.trimmed().section(QLatin1Char(' '), 1);
        const QString name = rest.section(QLatin1Char('='), 0, 0);
        const QString value = rest.section(QLatin1Char('='), 1);
        QWidget* control = window->findChild<QWidget*>(name);
        if (!control) {
            qFatal("no control %s in the window", qPrintable(name));
        }
        if (verb == QLatin1String("click")) {
            QTest::mouseClick(control, Qt::LeftButton); // any clickable control
        } else if (auto* box = qobject_cast<QLineEdit*>(control); box && verb == QLatin1String("text")) {
            box->clear();
            type(box, value);
        } else if (box && verb == QLatin1String("put")) {
            forms::putText(box, value);
        } else if (auto* list = qobject_cast<QComboBox*>(control); list && verb == QLatin1String("text")) {
            list->clearEditText();
            type(list->lineEdit(), value);
        } else if (list && verb == QLatin1String("index")) {
            list->setCurrentIndex(value.toInt());
        } else {
            qFatal("cannot %s %s", qPrintable(verb), qPrintable(name));
        }
    }
}

} // namespace trivex::test
