#pragma once

#include "ctl/Runner.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

// What a run reports: a line per step for people, a JSON object per step for programs, and a
// JUnit XML report for CI servers and test-station software.
namespace trivex::ctl {

// "ok    151.2 ms  select 101: UID 101 Connected"
QString textLine(const StepResult& result);

// {"where":"test.txt:3","command":"select 101","ok":true,"ms":151.2,"outcome":"UID 101 Connected"}
QByteArray jsonLine(const StepResult& result);

// One test suite named suite, a test case per step, its failures with the outcome as message.
QByteArray junitReport(const QString& suite, const std::vector<StepResult>& results,
                       const QDateTime& started);

} // namespace trivex::ctl
