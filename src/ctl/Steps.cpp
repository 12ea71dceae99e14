#include "ctl/Steps.h"

#include "ctl/Script.h"
#include "ctl/Words.h"

namespace trivex::ctl {

namespace {

const QStringList kScriptOnly{QStringLiteral("run"), QStringLiteral("scan"), QStringLiteral("monitor"),
                              QStringLiteral("commission")};

} // namespace

QString wordsHelp() {
    QString help;
    for (const auto& [name, word] : words()) {
        help +=
            QStringLiteral("  %1\n      %2\n")
                .arg((name + QLatin1Char(' ') + word.arguments.join(QLatin1Char(' '))).trimmed(), word.help);
    }
    return help;
}

std::optional<Step> readStep(const QStringList& list, qsizetype* at, const QString& where, QString* why) {
    const QString name = list[*at];
    Step step;
    step.where = where;
    const auto word = words().find(name.toLower());
    if (word == words().end()) {
        *why = QStringLiteral("%1: unknown word \"%2\"").arg(where, name);
        return std::nullopt;
    }
    QStringList args;
    if (word->first == QLatin1String("expect")) {
        // "expect input high|low", "expect answer", "expect no-answer"
        const QString what = *at + 1 < list.size() ? list[*at + 1].toLower() : QString();
        const qsizetype count = what == QLatin1String("input") ? 2 : 1;
        args = list.mid(*at + 1, count);
        if (args.size() < count) {
            *why = QStringLiteral("%1: expect needs input high|low, answer or no-answer").arg(where);
            return std::nullopt;
        }
        step.kind = count == 2 ? Step::Kind::Input : Step::Kind::Expect;
        int level = 0;
        const QString refusal =
            count == 2 ? oneOf(args[1], {QStringLiteral("low"), QStringLiteral("high")},
                               QStringLiteral("Level"), &level)
            : what == QLatin1String("answer") || what == QLatin1String("no-answer")
                ? QString()
                : QStringLiteral("Expectation \"%1\" refused: input high|low, answer or no-answer")
                      .arg(args[0]);
        if (!refusal.isEmpty()) {
            *why = QStringLiteral("%1: %2").arg(where, refusal);
            return std::nullopt;
        }
        if (count == 2) {
            step.expectHigh = level == 1;
        }
        step.expectAnswer = what != QLatin1String("no-answer");
    } else {
        args = list.mid(*at + 1, word->second.arguments.size());
        if (args.size() < word->second.arguments.size()) {
            *why = QStringLiteral("%1: %2 needs %3")
                       .arg(where, name, word->second.arguments.join(QLatin1Char(' ')));
            return std::nullopt;
        }
        if (const QString refusal = word->second.build(args, step); !refusal.isEmpty()) {
            *why = QStringLiteral("%1: %2").arg(where, refusal);
            return std::nullopt;
        }
    }
    step.command = QStringList(QStringList{word->first} + args).join(QLatin1Char(' '));
    *at += 1 + args.size();
    return step;
}

std::optional<std::vector<Step>> readSteps(const QStringList& list, QString* why) {
    std::vector<Step> steps;
    std::optional<std::size_t> selectedBy; // a select not released since: configuration is refused
    auto take = [&](const Step& step) {
        if (step.kind == Step::Kind::Expect) {
            // "expect answer" and "expect no-answer" go with the exchange before them.
            const bool exchange = !steps.empty() && (steps.back().kind == Step::Kind::Select ||
                                                     steps.back().kind == Step::Kind::Release ||
                                                     steps.back().kind == Step::Kind::Input);
            if (!exchange) {
                *why = QStringLiteral("%1: %2 follows no exchange (select, release or input)")
                           .arg(step.where, step.command);
                return false;
            }
            steps.back().expectAnswer = step.expectAnswer;
            steps.back().command += QStringLiteral(", ") + step.command;
            return true;
        }
        if (step.kind == Step::Kind::Configure && selectedBy) {
            // As the windows offer the LCD settings only while no module is selected.
            const Step& select = steps[*selectedBy];
            *why = QStringLiteral("%1: %2 is refused while a module is selected (%3 at %4): release it first")
                       .arg(step.where, step.command, select.command, select.where);
            return false;
        }
        if (step.kind == Step::Kind::Select) {
            selectedBy = steps.size();
        } else if (step.kind == Step::Kind::Release) {
            selectedBy.reset();
        }
        steps.push_back(step);
        return true;
    };
    for (qsizetype at = 0; at < list.size();) {
        const QString where = QStringLiteral("argument %1").arg(at + 1);
        if (list[at] == QLatin1String("run")) {
            if (at + 1 >= list.size()) {
                *why = QStringLiteral("%1: run needs FILE").arg(where);
                return std::nullopt;
            }
            const std::optional<std::vector<ScriptLine>> lines = readScript(list[at + 1], why);
            if (!lines) {
                return std::nullopt;
            }
            for (const ScriptLine& line : *lines) {
                const QString place = QStringLiteral("%1:%2").arg(list[at + 1]).arg(line.number);
                if (kScriptOnly.contains(line.words[0].toLower())) {
                    *why = QStringLiteral("%1: %2 is no step of a script").arg(place, line.words[0]);
                    return std::nullopt;
                }
                qsizetype index = 0;
                const std::optional<Step> step = readStep(line.words, &index, place, why);
                if (!step) {
                    return std::nullopt;
                }
                if (index < line.words.size()) {
                    *why = QStringLiteral("%1: \"%2\" after %3: one step a line")
                               .arg(place, line.words[index], step->command);
                    return std::nullopt;
                }
                if (!take(*step)) {
                    return std::nullopt;
                }
            }
            at += 2;
            continue;
        }
        const std::optional<Step> step = readStep(list, &at, where, why);
        if (!step || !take(*step)) {
            return std::nullopt;
        }
    }
    return steps;
}

} // namespace trivex::ctl
