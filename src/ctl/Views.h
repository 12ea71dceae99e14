#pragma once

#include "ctl/Record.h"
#include "protocol/BusReader.h"

#include <QByteArray>
#include <QString>

// The record as people, programs and CI servers read it: a line per entry, a JSON object per
// entry, a summary, and a JUnit XML report.
namespace trivex::ctl {

// "ok    151.2 ms  select 101: UID 101 Connected"; a finding of the scan as the scan tells it:
// "101 at 9600 bit/s, 2.1 ms".
QString textLine(const Entry& entry);
// {"where":"test.txt:3","command":"select 101","ok":true,"verdict":"passed","ms":151.2,
//  "outcome":"UID 101 Connected"}, with the module's facts where there are any.
QByteArray jsonLine(const Entry& entry);

// A frame heard on the bus, as the listening monitor prints it:
// "14:46:01.123456   +2.061 ms  module      EE 65  acknowledge from 101"; flags after, in brackets.
QString frameLine(const protocol::BusFrame& frame);
// {"time":"...","gap_ms":2.061,"direction":"module","bytes":"EE 65","meaning":"...","flags":[...]}
QByteArray frameJson(const protocol::BusFrame& frame);

// "12 steps: 11 passed, 1 failed, 0 not run"; empty where the record counts nothing.
QString summaryLine(const Record& record);
// {"summary":{...,"status":1}} with the counts, the exit status and the trace.
QByteArray summaryJson(const Record& record, int status);
// {"problem":"...","status":3}
QByteArray problemJson(int status, const QString& text);

// One test suite, a test case per entry (an error, a failure or skipped where it is one), the
// problem that ended the call before its first step as a test case in error, and the trace as
// properties of the suite and of every test case.
QByteArray junitReport(const Record& record);
// The report written before the first byte is sent: it stands, in error, if the run is ended
// before it can report.
QByteArray provisionalReport(const Record& record);

} // namespace trivex::ctl

namespace trivex::ctl {

// "trivexctl: TEXT" on standard error.
void tell(const QString& text);

} // namespace trivex::ctl
