#pragma once

#include "ctl/Record.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The commissioning log: a CSV file, a row per module, that several stations may append to (a
// shared folder). One header; each row written whole under an advisory lock, and checked:
// written, synced, closed. A row cut short (a full disk) is taken back out.
namespace trivex::ctl {

class CsvLog {
public:
    explicit CsvLog(QString path);

    const QString& path() const { return path_; }
    // The columns: the first six as they always were, then what traces the row.
    static QStringList columns();

    // Before the first byte is sent: creates the file with its header where it has none, and
    // finds out whether it can be written. Why not, or empty.
    QString prepare();
    // Appends the entry's row; why it was not written, or empty.
    QString append(const Entry& entry, const Trace& trace);
    // The rows (header left out), each as its fields; no value, and *why, when the file cannot
    // be read as a log of these columns.
    std::optional<std::vector<QStringList>> rows(QString* why) const;

private:
    QString write(const QByteArray& row);

    QString path_;
};

// The row of an entry, as its fields.
QStringList csvFields(const Entry& entry, const Trace& trace);

} // namespace trivex::ctl
