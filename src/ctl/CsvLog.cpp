#include "ctl/CsvLog.h"

#include "settings/FileAccess.h"

#include <QDeadlineTimer>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trivex::ctl {

namespace {

// How long a row waits for another station's to be written.
constexpr int kLockWaitMs = 5000;
// A log is a text file; one this large is no log of ours.
constexpr qint64 kMaxLogBytes = 64 * 1024 * 1024;

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray quoted(const QStringList& fields) {
    QStringList out;
    for (const QString& field : fields) {
        const bool quote = field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
                           field.contains(QLatin1Char('\n'));
        out << (quote ? QLatin1Char('"') + QString(field).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                            QLatin1Char('"')
                      : field);
    }
    return (out.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8();
}

// The fields of one line of CSV.
QStringList fieldsOf(const QString& line) {
    QStringList fields;
    QString field;
    bool inQuotes = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (inQuotes) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                inQuotes = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            inQuotes = true;
        } else if (c == u',') {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    return fields << field;
}

// The file, opened for appending, under its lock; -1 with *why set when it cannot be.
int openLocked(const QString& path, QString* why) {
    const int fd = ::open(path.toLocal8Bit().constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        *why = systemError();
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *why = QStringLiteral("it is no regular file");
        ::close(fd);
        return -1;
    }
    const QDeadlineTimer deadline(kLockWaitMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK || deadline.hasExpired()) {
            *why = errno == EWOULDBLOCK
                       ? QStringLiteral("another station held it for more than %1 s").arg(kLockWaitMs / 1000)
                       : systemError();
            ::close(fd);
            return -1;
        }
        QThread::msleep(5);
    }
    return fd;
}

} // namespace

CsvLog::CsvLog(QString path)
    : path_(std::move(path)) {
}

QStringList CsvLog::columns() {
    return {QStringLiteral("time"),    QStringLiteral("address"),  QStringLiteral("speed"),
            QStringLiteral("result"),  QStringLiteral("reply_ms"), QStringLiteral("input"),
            QStringLiteral("station"), QStringLiteral("operator"), QStringLiteral("batch"),
            QStringLiteral("port"),    QStringLiteral("port_id"),  QStringLiteral("version"),
            QStringLiteral("config"),  QStringLiteral("sent")};
}

QStringList csvFields(const Entry& entry, const Trace& trace) {
    const ModuleFacts module = entry.module.value_or(ModuleFacts{});
    return {entry.at,
            QString::number(module.address),
            module.speed > 0 ? QString::number(module.speed) : QStringLiteral("server"),
            entry.verdict == Verdict::Passed ? QStringLiteral("ok") : entry.outcome,
            QString::number(module.replyMs, 'f', 1),
            module.input.isEmpty() ? QStringLiteral("-") : module.input,
            trace.station,
            trace.operatorName,
            trace.batch,
            trace.port,
            trace.portId,
            trace.version,
            entry.config,
            module.sent.isEmpty() ? QStringLiteral("-") : module.sent};
}

QString CsvLog::write(const QByteArray& row) {
    QString why;
    const int fd = openLocked(path_, &why);
    if (fd < 0) {
        return why;
    }
    struct stat info {};
    ::fstat(fd, &info);
    const QByteArray header = quoted(columns());
    QByteArray data = info.st_size == 0 ? header + row : row;
    if (info.st_size > 0) {
        // A file that is not ours (other columns) is not appended to.
        QByteArray first(static_cast<int>(header.size()), '\0');
        const int reader = ::open(path_.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        const ssize_t n =
            reader < 0 ? -1 : ::pread(reader, first.data(), static_cast<size_t>(first.size()), 0);
        if (reader >= 0) {
            ::close(reader);
        }
        if (n != header.size() || first != header) {
            ::close(fd);
            return QStringLiteral("its first line is not the header %1")
                .arg(QString::fromUtf8(header.trimmed()));
        }
    }
    ssize_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            why = n < 0 ? systemError() : QStringLiteral("no room left");
            break;
        }
        done += n;
    }
    if (why.isEmpty() && ::fsync(fd) != 0) {
        why = systemError();
    }
    if (!why.isEmpty() && done > 0) {
        // Whole rows only: what went out of this one is taken back, under the same lock.
        [[maybe_unused]] const int back = ::ftruncate(fd, info.st_size);
    }
    if (::close(fd) != 0 && why.isEmpty()) {
        why = systemError();
    }
    return why;
}

QString CsvLog::prepare() {
    if (path_.isEmpty()) {
        return QStringLiteral("no file is named");
    }
    return write({});
}

QString CsvLog::append(const Entry& entry, const Trace& trace) {
    return write(quoted(csvFields(entry, trace)));
}

std::optional<std::vector<QStringList>> CsvLog::rows(QString* why) const {
    const settings::FileContents contents = settings::readRegularFile(path_, kMaxLogBytes);
    if (!contents.exists || !contents.error.isEmpty()) {
        *why = contents.exists ? contents.error : QStringLiteral("there is no such file");
        return std::nullopt;
    }
    QStringList lines = QString::fromUtf8(contents.data).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty() || fieldsOf(lines.takeFirst()) != columns()) {
        *why = QStringLiteral("its first line is not the header %1").arg(columns().join(QLatin1Char(',')));
        return std::nullopt;
    }
    std::vector<QStringList> rows;
    for (const QString& line : lines) {
        rows.push_back(fieldsOf(line));
    }
    return rows;
}

} // namespace trivex::ctl
