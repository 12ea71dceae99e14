#include "forms/tools/TrafficModel.h"

#include "protocol/Decoder.h"

#include <QBrush>
#include <QColor>
#include <QFontDatabase>

namespace trivex::forms {

namespace {

using Kind = link::TrafficEntry::Kind;

const QString kNotAwaited =
    QStringLiteral(" (arrived while no exchange waited: it can spoil the next reply)");

} // namespace

TrafficModel::TrafficModel(int limit, QObject* parent)
    : QAbstractTableModel(parent)
    , limit_(limit) {
}

void TrafficModel::append(const std::deque<link::TrafficEntry>& entries) {
    if (entries.empty()) {
        return;
    }
    const int overflow = static_cast<int>(entries_.size() + entries.size()) - limit_;
    if (overflow > 0) {
        const int gone = std::min(overflow, static_cast<int>(entries_.size()));
        if (gone > 0) {
            beginRemoveRows(QModelIndex(), 0, gone - 1);
            entries_.erase(entries_.begin(), entries_.begin() + gone);
            endRemoveRows();
        }
        dropped_ += overflow;
    }
    const auto first = entries.begin() + std::max(0, static_cast<int>(entries.size()) - limit_);
    const int added = static_cast<int>(entries.end() - first);
    beginInsertRows(QModelIndex(), static_cast<int>(entries_.size()),
                    static_cast<int>(entries_.size()) + added - 1);
    entries_.insert(entries_.end(), first, entries.end());
    endInsertRows();
}

void TrafficModel::clear() {
    beginResetModel();
    entries_.clear();
    dropped_ = 0;
    endResetModel();
}

int TrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QString TrafficModel::text(const link::TrafficEntry& entry, int column) const {
    switch (column) {
    case Time:
        return wallOrigin_.addMSecs((entry.nanoseconds - origin_) / 1000000)
            .toString(QStringLiteral("HH:mm:ss.zzz"));
    case Direction:
        switch (entry.kind) {
        case Kind::Sent:
            return QStringLiteral("to bus");
        case Kind::Received:
            return QStringLiteral("from bus");
        case Kind::Echo:
            return QStringLiteral("echo");
        case Kind::Event:
            return QStringLiteral("port");
        }
        return {};
    case Bytes:
        return QString::fromStdString(protocol::hexText(entry.bytes));
    default:
        switch (entry.kind) {
        case Kind::Event:
            return entry.event;
        case Kind::Echo:
            return QStringLiteral("the adapter's echo of what was sent, taken out");
        case Kind::Sent:
            return QString::fromStdString(protocol::describe(entry.bytes, protocol::Direction::ToBus));
        case Kind::Received:
            return QString::fromStdString(
                       protocol::describe(entry.bytes, protocol::Direction::FromBus, entry.replyLength)) +
                   (entry.unexpected ? kNotAwaited : QString());
        }
        return {};
    }
}

std::vector<protocol::BusFrame> TrafficModel::frames() const {
    const std::int64_t wallOrigin = wallOrigin_.toMSecsSinceEpoch() * 1000;
    protocol::BusReader reader;
    std::vector<protocol::BusFrame> frames;
    std::int64_t micros = wallOrigin;
    for (const link::TrafficEntry& entry : entries_) {
        if (entry.kind != Kind::Sent && entry.kind != Kind::Received) {
            continue;
        }
        micros = wallOrigin + (entry.nanoseconds - origin_) / 1000;
        for (protocol::BusFrame& frame : reader.feed(entry.bytes, micros)) {
            frames.push_back(std::move(frame));
        }
    }
    for (protocol::BusFrame& frame : reader.finish(micros)) {
        frames.push_back(std::move(frame));
    }
    return frames;
}

QString TrafficModel::line(int row) const {
    QStringList columns;
    for (int column = 0; column < Columns; ++column) {
        columns << text(entries_[static_cast<std::size_t>(row)], column);
    }
    return columns.join(QLatin1Char('\t'));
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const link::TrafficEntry& entry = entries_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return text(entry, index.column());
    case Qt::ToolTipRole:
        return index.column() == Meaning ? text(entry, Meaning) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == Time ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case Qt::FontRole:
        return index.column() == Bytes ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QVariant();
    case Qt::ForegroundRole:
        if (entry.unexpected && entry.kind == Kind::Received) {
            return QBrush(QColor(180, 60, 0));
        }
        return entry.kind == Kind::Event || entry.kind == Kind::Echo ? QBrush(QColor(90, 90, 90))
                                                                     : QVariant();
    default:
        return {};
    }
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* titles[] = {"Time", "Direction", "Bytes", "Meaning"};
    return QString::fromLatin1(titles[section]);
}

} // namespace trivex::forms
