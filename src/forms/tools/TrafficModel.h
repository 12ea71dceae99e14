#pragma once

#include "link/Traffic.h"
#include "protocol/BusReader.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <deque>
#include <vector>

namespace trivex::forms {

// The entries of the traffic monitor as a table: time, direction, bytes in hex, meaning. It
// keeps the newest entries up to a limit and counts the older ones it let go. The meaning is
// worked out when a row is shown, so that an entry costs little more than its bytes.
class TrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Direction, Bytes, Meaning, Columns };

    explicit TrafficModel(int limit, QObject* parent = nullptr);

    // Times are shown as the wall clock read at the monotonic moment nanoseconds.
    void setClock(qint64 nanoseconds, const QDateTime& wallClock) {
        origin_ = nanoseconds;
        wallOrigin_ = wallClock;
    }

    // Adds entries at the end, letting the oldest go beyond the limit.
    void append(const std::deque<link::TrafficEntry>& entries);
    void clear();

    qint64 dropped() const { return dropped_; }
    // What was sent and received, read into frames as a listener on the bus reads it, each at
    // its wall-clock time: the entries as a capture holds them.
    std::vector<protocol::BusFrame> frames() const;
    // One entry as a line of text, its columns separated by tabs.
    QString line(int row) const;
    // What one cell shows.
    QString text(int row, int column) const { return text(entries_[static_cast<std::size_t>(row)], column); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString text(const link::TrafficEntry& entry, int column) const;

    int limit_;
    qint64 origin_ = 0;
    QDateTime wallOrigin_ = QDateTime::currentDateTime();
    qint64 dropped_ = 0;
    std::deque<link::TrafficEntry> entries_;
};

} // namespace trivex::forms
