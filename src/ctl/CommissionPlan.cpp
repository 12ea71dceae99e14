#include "ctl/CommissionPlan.h"

#include "ctl/Options.h"
#include "protocol/Text.h"
#include "session/DisplayText.h"
#include "settings/CharacterSet.h"

namespace trivex::ctl {

namespace {

const QMap<QString, int> kOptions{
    {QStringLiteral("--first"), 1}, {QStringLiteral("--count"), 1},  {QStringLiteral("--speed"), 1},
    {QStringLiteral("--from"), 1},  {QStringLiteral("--screen"), 2}, {QStringLiteral("--chars"), 1},
    {QStringLiteral("--log"), 1},   {QStringLiteral("--resume"), 1}, {QStringLiteral("--no-prompt"), 0}};

} // namespace

std::vector<NamedCommand> CommissionPlan::commands(int address, int to) const {
    std::vector<NamedCommand> all{
        {QStringLiteral("Set UID %1").arg(address), protocol::setUid(static_cast<std::uint8_t>(address))}};
    all.insert(all.end(), between.begin(), between.end());
    if (to > 0) {
        // Last: the module takes its new speed on from this command's stop frame on.
        all.push_back({QStringLiteral("Set Baud Rate %1").arg(to),
                       protocol::setLineSpeed(to == 4800 ? protocol::LineSpeed::Baud4800
                                                         : protocol::LineSpeed::Baud9600)});
    }
    return all;
}

QByteArray CommissionPlan::configuration(int to) const {
    QByteArray bytes;
    for (const NamedCommand& named : commands(0, to)) {
        if (!named.name.startsWith(QLatin1String("Set UID"))) {
            bytes += QByteArray::fromStdString(named.command.write2);
        }
    }
    return bytes;
}

std::optional<CommissionPlan> commissionPlan(const QStringList& arguments, QString* why) {
    const auto values = parseWordOptions(arguments, kOptions, why);
    if (!values) {
        return std::nullopt;
    }
    CommissionPlan plan;
    for (const QString& needed : {QStringLiteral("--first"), QStringLiteral("--count")}) {
        if (!values->contains(needed)) {
            *why = needed + QStringLiteral(" is needed");
            return std::nullopt;
        }
    }
    const auto first = protocol::parseByte(values->value(QStringLiteral("--first")).first().toStdString());
    bool counted = false;
    plan.count = values->value(QStringLiteral("--count")).first().toInt(&counted);
    if (!first || !counted || plan.count < 1 || *first + plan.count - 1 > 255) {
        *why = QStringLiteral("--first and --count: addresses from 0 to 255, at least one module");
        return std::nullopt;
    }
    plan.first = *first;
    if (values->contains(QStringLiteral("--from"))) {
        const QString text = values->value(QStringLiteral("--from")).first();
        const auto from = protocol::parseByte(text.toStdString());
        if (!from) {
            *why = QStringLiteral("--from %1: an address from 0 to 255").arg(text);
            return std::nullopt;
        }
        plan.from = *from;
    }
    if (values->contains(QStringLiteral("--speed"))) {
        const QString speed = values->value(QStringLiteral("--speed")).first();
        if (speed != QLatin1String("4800") && speed != QLatin1String("9600")) {
            *why = QStringLiteral("--speed %1: 4800 or 9600").arg(speed);
            return std::nullopt;
        }
        plan.speed = speed.toInt();
    }
    if (values->contains(QStringLiteral("--screen"))) {
        const QStringList lines = values->value(QStringLiteral("--screen"));
        const auto command = session::defaultScreenCommand(lines[0], lines[1], why);
        if (!command) {
            return std::nullopt;
        }
        plan.between.push_back({QStringLiteral("Set Default Screen"), *command});
    }
    if (values->contains(QStringLiteral("--chars"))) {
        const QString path = values->value(QStringLiteral("--chars")).first();
        const auto set = settings::readCharacterSet(path, why);
        if (!set) {
            *why = QStringLiteral("character set %1 refused: %2").arg(path, *why);
            return std::nullopt;
        }
        plan.between.push_back(
            {QStringLiteral("Load Custom Characters"), protocol::loadCustomCharacters(*set)});
    }
    const QString log = values->value(QStringLiteral("--log")).value(0);
    const QString resume = values->value(QStringLiteral("--resume")).value(0);
    if (!log.isEmpty() && !resume.isEmpty() && log != resume) {
        *why = QStringLiteral("--log %1 and --resume %2: a resumed batch goes on in its own log")
                   .arg(log, resume);
        return std::nullopt;
    }
    if ((values->contains(QStringLiteral("--log")) && log.isEmpty()) ||
        (values->contains(QStringLiteral("--resume")) && resume.isEmpty())) {
        *why = QStringLiteral("--log and --resume need a file, and the one given is empty");
        return std::nullopt;
    }
    plan.resume = !resume.isEmpty();
    plan.log = plan.resume ? resume : log;
    plan.prompt = !values->contains(QStringLiteral("--no-prompt"));
    return plan;
}

} // namespace trivex::ctl
