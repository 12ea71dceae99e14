#include "ctl/Views.h"

#include "ctl/Options.h"
#include "link/FrameText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamWriter>
#include <cstdio>
#include <numeric>

namespace trivex::ctl {

namespace {

QString speedText(int speed) {
    return speed > 0 ? QStringLiteral("%1 bit/s").arg(speed) : QStringLiteral("the server's speed");
}

QString findingText(const Entry& entry) {
    const ModuleFacts& module = *entry.module;
    const QString line = QStringLiteral("%1 at %2, %3 ms")
                             .arg(module.address)
                             .arg(speedText(module.speed))
                             .arg(module.replyMs, 0, 'f', 1);
    return module.note.isEmpty() ? line : line + QStringLiteral(": ") + module.note;
}

QString verdictWord(Verdict verdict) {
    switch (verdict) {
    case Verdict::Passed:
        return QStringLiteral("passed");
    case Verdict::Failed:
        return QStringLiteral("failed");
    case Verdict::Error:
        return QStringLiteral("error");
    case Verdict::NotRun:
        break;
    }
    return QStringLiteral("not-run");
}

QJsonObject traceObject(const Trace& trace) {
    return {{QStringLiteral("station"), trace.station}, {QStringLiteral("operator"), trace.operatorName},
            {QStringLiteral("batch"), trace.batch},     {QStringLiteral("port"), trace.port},
            {QStringLiteral("port_id"), trace.portId},  {QStringLiteral("version"), trace.version}};
}

void writeProperties(QXmlStreamWriter& out, const QList<std::pair<QString, QString>>& properties) {
    out.writeStartElement(QStringLiteral("properties"));
    for (const auto& [name, value] : properties) {
        out.writeEmptyElement(QStringLiteral("property"));
        out.writeAttribute(QStringLiteral("name"), name);
        out.writeAttribute(QStringLiteral("value"), value);
    }
    out.writeEndElement();
}

QList<std::pair<QString, QString>> traceProperties(const Trace& trace) {
    return {{QStringLiteral("station"), trace.station}, {QStringLiteral("operator"), trace.operatorName},
            {QStringLiteral("batch"), trace.batch},     {QStringLiteral("port"), trace.port},
            {QStringLiteral("port_id"), trace.portId},  {QStringLiteral("version"), trace.version}};
}

QString seconds(double milliseconds) {
    return QString::number(milliseconds / 1000.0, 'f', 3);
}

void writeCase(QXmlStreamWriter& out, const Record& record, const Entry& entry) {
    out.writeStartElement(QStringLiteral("testcase"));
    out.writeAttribute(QStringLiteral("classname"), record.suite);
    out.writeAttribute(QStringLiteral("name"),
                       entry.finding ? findingText(entry).section(QLatin1Char(','), 0, 0)
                                     : QStringLiteral("%1: %2").arg(entry.where, entry.command));
    out.writeAttribute(QStringLiteral("time"), seconds(entry.ms));
    writeProperties(out, QList<std::pair<QString, QString>>{{QStringLiteral("time"), entry.at}} +
                             traceProperties(record.trace) +
                             QList<std::pair<QString, QString>>{{QStringLiteral("config"), entry.config}});
    const QString element = entry.verdict == Verdict::Failed   ? QStringLiteral("failure")
                            : entry.verdict == Verdict::Error  ? QStringLiteral("error")
                            : entry.verdict == Verdict::NotRun ? QStringLiteral("skipped")
                                                               : QString();
    if (!element.isEmpty()) {
        out.writeStartElement(element);
        out.writeAttribute(QStringLiteral("message"), entry.outcome);
        if (entry.verdict != Verdict::NotRun) {
            out.writeAttribute(QStringLiteral("type"), entry.verdict == Verdict::Error
                                                           ? QStringLiteral("error")
                                                           : QStringLiteral("check"));
            out.writeCharacters(textLine(entry));
        }
        out.writeEndElement();
    } else if (!entry.outcome.isEmpty()) {
        out.writeTextElement(QStringLiteral("system-out"),
                             entry.finding ? findingText(entry) : entry.outcome);
    }
    out.writeEndElement();
}

} // namespace

QString textLine(const Entry& entry) {
    if (entry.finding) {
        return findingText(entry);
    }
    const QString mark = entry.verdict == Verdict::Passed   ? QStringLiteral("ok  ")
                         : entry.verdict == Verdict::Failed ? QStringLiteral("FAIL")
                         : entry.verdict == Verdict::Error  ? QStringLiteral("ERR ")
                                                            : QStringLiteral("SKIP");
    const QString line = QStringLiteral("%1 %2 ms  %3").arg(mark).arg(entry.ms, 7, 'f', 1).arg(entry.command);
    return entry.outcome.isEmpty() ? line : line + QStringLiteral(": ") + entry.outcome;
}

QByteArray jsonLine(const Entry& entry) {
    QJsonObject object{{QStringLiteral("where"), entry.where},
                       {QStringLiteral("command"), entry.command},
                       {QStringLiteral("ok"), entry.verdict == Verdict::Passed},
                       {QStringLiteral("verdict"), verdictWord(entry.verdict)},
                       {QStringLiteral("ms"), entry.ms},
                       {QStringLiteral("outcome"), entry.outcome},
                       {QStringLiteral("time"), entry.at}};
    if (entry.module) {
        object.insert(QStringLiteral("address"), entry.module->address);
        object.insert(QStringLiteral("speed"),
                      entry.module->speed > 0 ? QJsonValue(entry.module->speed) : QJsonValue());
        object.insert(QStringLiteral("reply_ms"), entry.module->replyMs);
        if (!entry.module->input.isEmpty()) {
            object.insert(QStringLiteral("input"), entry.module->input);
        }
        object.insert(QStringLiteral("note"), entry.module->note);
    }
    if (!entry.config.isEmpty()) {
        object.insert(QStringLiteral("config"), entry.config);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString frameLine(const protocol::BusFrame& frame) {
    const QString flags = link::frameFlags(frame);
    return QStringLiteral("%1  %2  %3  %4  %5")
               .arg(link::frameTime(frame), link::frameGap(frame).rightJustified(12),
                    link::directionWord(frame.direction).leftJustified(10),
                    QString::fromStdString(protocol::hexText(frame.bytes)),
                    QString::fromStdString(frame.meaning)) +
           (flags.isEmpty() ? QString() : QLatin1Char(' ') + flags);
}

QByteArray frameJson(const protocol::BusFrame& frame) {
    QJsonArray flags;
    for (const std::string& flag : frame.flags) {
        flags.append(QString::fromStdString(flag));
    }
    // ISO 8601 to the microsecond, with the UTC offset: 2026-12-07T14:46:01.123456+01:00.
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(frame.micros / 1000);
    const QString iso = at.toOffsetFromUtc(at.offsetFromUtc()).toString(Qt::ISODate);
    const QString time = iso.left(19) +
                         QStringLiteral(".%1").arg(frame.micros % 1000000, 6, 10, QLatin1Char('0')) +
                         iso.mid(19);
    return QJsonDocument(
               QJsonObject{{QStringLiteral("time"), time},
                           {QStringLiteral("micros"), static_cast<double>(frame.micros)},
                           {QStringLiteral("gap_ms"),
                            frame.gapMicros < 0 ? QJsonValue() : QJsonValue(frame.gapMicros / 1000.0)},
                           {QStringLiteral("direction"), link::directionWord(frame.direction)},
                           {QStringLiteral("bytes"), QString::fromStdString(protocol::hexText(frame.bytes))},
                           {QStringLiteral("meaning"), QString::fromStdString(frame.meaning)},
                           {QStringLiteral("flags"), flags}})
        .toJson(QJsonDocument::Compact);
}

QString summaryLine(const Record& record) {
    if (record.unit.isEmpty()) {
        return {};
    }
    const Counts c = record.counts();
    const QString unit =
        c.total() == 1 && record.unit.endsWith(QLatin1Char('s')) ? record.unit.chopped(1) : record.unit;
    QString line =
        QStringLiteral("%1 %2: %3 passed, %4 failed").arg(c.total()).arg(unit).arg(c.passed).arg(c.failed);
    if (c.errors > 0) {
        line += QStringLiteral(", %1 in error").arg(c.errors);
    }
    return line + QStringLiteral(", %1 not run").arg(c.notRun);
}

QByteArray summaryJson(const Record& record, int status) {
    const Counts c = record.counts();
    QJsonObject summary = traceObject(record.trace);
    summary.insert(QStringLiteral("unit"), record.unit);
    summary.insert(QStringLiteral("total"), c.total());
    summary.insert(QStringLiteral("passed"), c.passed);
    summary.insert(QStringLiteral("failed"), c.failed);
    summary.insert(QStringLiteral("errors"), c.errors);
    summary.insert(QStringLiteral("not_run"), c.notRun);
    summary.insert(QStringLiteral("status"), status);
    return QJsonDocument(QJsonObject{{QStringLiteral("summary"), summary}}).toJson(QJsonDocument::Compact);
}

QByteArray problemJson(int status, const QString& text) {
    return QJsonDocument(QJsonObject{{QStringLiteral("problem"), text}, {QStringLiteral("status"), status}})
        .toJson(QJsonDocument::Compact);
}

QByteArray junitReport(const Record& record) {
    Counts c = record.counts();
    const bool opening = !record.openingProblem().isEmpty();
    c.errors += opening ? 1 : 0;
    const double ms = std::accumulate(record.entries().begin(), record.entries().end(), 0.0,
                                      [](double sum, const Entry& e) { return sum + e.ms; });
    QByteArray xml;
    QXmlStreamWriter out(&xml);
    out.setAutoFormatting(true);
    out.writeStartDocument();
    for (const QString& element : {QStringLiteral("testsuites"), QStringLiteral("testsuite")}) {
        out.writeStartElement(element);
        out.writeAttribute(QStringLiteral("name"), element == QLatin1String("testsuites")
                                                       ? QStringLiteral("trivexctl")
                                                       : record.suite);
        out.writeAttribute(QStringLiteral("tests"), QString::number(c.total()));
        out.writeAttribute(QStringLiteral("failures"), QString::number(c.failed));
        out.writeAttribute(QStringLiteral("errors"), QString::number(c.errors));
        out.writeAttribute(QStringLiteral("skipped"), QString::number(c.notRun));
        out.writeAttribute(QStringLiteral("time"), seconds(ms));
    }
    out.writeAttribute(QStringLiteral("timestamp"), record.started.toUTC().toString(Qt::ISODate));
    out.writeAttribute(QStringLiteral("hostname"), record.trace.station);
    writeProperties(out, traceProperties(record.trace));
    if (opening) {
        Entry problem;
        problem.where = QStringLiteral("trivexctl");
        problem.command = record.call;
        problem.verdict = Verdict::Error;
        problem.outcome = record.openingProblem();
        problem.at =
            record.started.toOffsetFromUtc(record.started.offsetFromUtc()).toString(Qt::ISODateWithMs);
        writeCase(out, record, problem);
    }
    for (const Entry& entry : record.entries()) {
        writeCase(out, record, entry);
    }
    out.writeEndDocument();
    return xml;
}

QByteArray provisionalReport(const Record& record) {
    Record unfinished;
    unfinished.trace = record.trace;
    unfinished.suite = record.suite;
    unfinished.call = record.call;
    unfinished.started = record.started;
    unfinished.problem(kRefused,
                       QStringLiteral("the run did not finish: trivexctl was ended before it could report"));
    return junitReport(unfinished);
}

} // namespace trivex::ctl

namespace trivex::ctl {

void tell(const QString& text) {
    std::fprintf(stderr, "trivexctl: %s\n", text.toLocal8Bit().constData());
}

} // namespace trivex::ctl
