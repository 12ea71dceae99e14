#pragma once

#include "protocol/BusReader.h"

#include <QAbstractTableModel>
#include <deque>
#include <vector>

namespace trivex::forms {

// The frames heard on a bus (or read from a capture) as a table: time, gap, direction, bytes,
// meaning, flags. It keeps the newest frames up to a limit and counts the older ones it let go;
// a flagged frame stands out.
class FrameModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Gap, Direction, Bytes, Meaning, Flags, Columns };

    explicit FrameModel(int limit, QObject* parent = nullptr);

    // Adds frames at the end, letting the oldest go beyond the limit.
    void append(const std::vector<protocol::BusFrame>& frames);
    void clear();

    const std::deque<protocol::BusFrame>& frames() const { return frames_; }
    qint64 dropped() const { return dropped_; }
    qint64 flagged() const { return flagged_; }
    QString text(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    int limit_;
    qint64 dropped_ = 0;
    qint64 flagged_ = 0; // among the frames kept
    std::deque<protocol::BusFrame> frames_;
};

} // namespace trivex::forms
