#include "ctl/Record.h"

#include "ctl/Options.h"

#include <QCryptographicHash>
#include <algorithm>

namespace trivex::ctl {

QString isoNow() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QString shortHash(const QByteArray& bytes) {
    if (bytes.isEmpty()) {
        return {};
    }
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(12));
}

Record::Record()
    : started(QDateTime::currentDateTime()) {
}

void Record::add(Entry entry) {
    if (entry.at.isEmpty()) {
        entry.at = isoNow();
    }
    entries_.push_back(std::move(entry));
    if (onEntry) {
        onEntry(entries_.back());
    }
}

void Record::notRun(const Entry& step, const QString& why) {
    Entry entry = step;
    entry.verdict = Verdict::NotRun;
    entry.ms = 0;
    entry.outcome = QStringLiteral("not run: ") + why;
    add(std::move(entry));
}

void Record::problem(int status, const QString& text) {
    if (std::find(problems_.begin(), problems_.end(), status) != problems_.end()) {
        return;
    }
    problems_.push_back(status);
    if (entries_.empty() && opening_.isEmpty() && (status == kRefused || status == kPortProblem)) {
        opening_ = text;
    }
    if (onProblem) {
        onProblem(status, text);
    }
}

Counts Record::counts() const {
    Counts counts;
    for (const Entry& entry : entries_) {
        switch (entry.verdict) {
        case Verdict::Passed:
            ++counts.passed;
            break;
        case Verdict::Failed:
            ++counts.failed;
            break;
        case Verdict::Error:
            ++counts.errors;
            break;
        case Verdict::NotRun:
            ++counts.notRun;
            break;
        }
    }
    return counts;
}

int Record::status() const {
    auto was = [this](int status) {
        return std::find(problems_.begin(), problems_.end(), status) != problems_.end();
    };
    for (int status : {kNotRecorded, kRefused, kPortProblem, kInterrupted}) {
        if (was(status)) {
            return status;
        }
    }
    const Counts c = counts();
    return was(kFailed) || c.failed + c.errors + c.notRun > 0 ? kFailed : kPassed;
}

} // namespace trivex::ctl
