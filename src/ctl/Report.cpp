#include "ctl/Report.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QXmlStreamWriter>
#include <numeric>

namespace trivex::ctl {

QString textLine(const StepResult& result) {
    QString line = QStringLiteral("%1 %2 ms  %3")
                       .arg(result.ok ? QStringLiteral("ok  ") : QStringLiteral("FAIL"))
                       .arg(result.ms, 7, 'f', 1)
                       .arg(result.command);
    return result.outcome.isEmpty() ? line : line + QStringLiteral(": ") + result.outcome;
}

QByteArray jsonLine(const StepResult& result) {
    const QJsonObject object{{QStringLiteral("where"), result.where},
                             {QStringLiteral("command"), result.command},
                             {QStringLiteral("ok"), result.ok},
                             {QStringLiteral("ms"), result.ms},
                             {QStringLiteral("outcome"), result.outcome}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray junitReport(const QString& suite, const std::vector<StepResult>& results,
                       const QDateTime& started) {
    const auto failures =
        std::count_if(results.begin(), results.end(), [](const StepResult& r) { return !r.ok; });
    const double ms = std::accumulate(results.begin(), results.end(), 0.0,
                                      [](double sum, const StepResult& r) { return sum + r.ms; });
    auto seconds = [](double milliseconds) { return QString::number(milliseconds / 1000.0, 'f', 3); };
    QByteArray xml;
    QXmlStreamWriter out(&xml);
    out.setAutoFormatting(true);
    out.writeStartDocument();
    out.writeStartElement(QStringLiteral("testsuites"));
    out.writeAttribute(QStringLiteral("name"), QStringLiteral("trivexctl"));
    out.writeAttribute(QStringLiteral("tests"), QString::number(results.size()));
    out.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    out.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    out.writeAttribute(QStringLiteral("time"), seconds(ms));
    out.writeStartElement(QStringLiteral("testsuite"));
    out.writeAttribute(QStringLiteral("name"), suite);
    out.writeAttribute(QStringLiteral("tests"), QString::number(results.size()));
    out.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    out.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    out.writeAttribute(QStringLiteral("skipped"), QStringLiteral("0"));
    out.writeAttribute(QStringLiteral("time"), seconds(ms));
    out.writeAttribute(QStringLiteral("timestamp"), started.toUTC().toString(Qt::ISODate));
    out.writeAttribute(QStringLiteral("hostname"), QSysInfo::machineHostName());
    for (const StepResult& result : results) {
        out.writeStartElement(QStringLiteral("testcase"));
        out.writeAttribute(QStringLiteral("classname"), suite);
        out.writeAttribute(QStringLiteral("name"),
                           QStringLiteral("%1: %2").arg(result.where, result.command));
        out.writeAttribute(QStringLiteral("time"), seconds(result.ms));
        if (!result.ok) {
            out.writeStartElement(QStringLiteral("failure"));
            out.writeAttribute(QStringLiteral("message"), result.outcome);
            out.writeAttribute(QStringLiteral("type"), QStringLiteral("check"));
            out.writeCharacters(textLine(result));
            out.writeEndElement();
        } else if (!result.outcome.isEmpty()) {
            out.writeTextElement(QStringLiteral("system-out"), result.outcome);
        }
        out.writeEndElement();
    }
    out.writeEndDocument();
    return xml;
}

} // namespace trivex::ctl
