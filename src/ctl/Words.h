#pragma once

#include "ctl/Steps.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <map>

// The words of trivexctl: each one's arguments, what it does, and how its arguments are checked
// into a step.
namespace trivex::ctl {

// Checks the arguments into the step; why they are refused, or empty.
using Build = std::function<QString(const QStringList& args, Step& step)>;

struct Word {
    QStringList arguments; // their names, for the help and for "needs"
    QString help;
    Build build; // none for "expect", whose arguments depend on its first one
};

// By name.
const std::map<QString, Word>& words();

// One of the choices (text in any case), its index in *index; why not, or empty.
QString oneOf(const QString& text, const QStringList& choices, const QString& what, int* index);

} // namespace trivex::ctl
