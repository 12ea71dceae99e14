#include "forms/tools/FrameModel.h"

#include "link/FrameText.h"

#include <QBrush>
#include <QColor>
#include <QFontDatabase>

namespace trivex::forms {

FrameModel::FrameModel(int limit, QObject* parent)
    : QAbstractTableModel(parent)
    , limit_(limit) {
}

void FrameModel::append(const std::vector<protocol::BusFrame>& frames) {
    if (frames.empty()) {
        return;
    }
    const int overflow = static_cast<int>(frames_.size() + frames.size()) - limit_;
    if (overflow > 0) {
        const int gone = std::min(overflow, static_cast<int>(frames_.size()));
        if (gone > 0) {
            beginRemoveRows(QModelIndex(), 0, gone - 1);
            for (int i = 0; i < gone; ++i) {
                flagged_ -= frames_.front().flags.empty() ? 0 : 1;
                frames_.pop_front();
            }
            endRemoveRows();
        }
        dropped_ += overflow;
    }
    const auto first = frames.begin() + std::max(0, static_cast<int>(frames.size()) - limit_);
    beginInsertRows(QModelIndex(), static_cast<int>(frames_.size()),
                    static_cast<int>(frames_.size() + static_cast<std::size_t>(frames.end() - first)) - 1);
    for (auto frame = first; frame != frames.end(); ++frame) {
        flagged_ += frame->flags.empty() ? 0 : 1;
        frames_.push_back(*frame);
    }
    endInsertRows();
}

void FrameModel::clear() {
    beginResetModel();
    frames_.clear();
    dropped_ = 0;
    flagged_ = 0;
    endResetModel();
}

int FrameModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(frames_.size());
}

int FrameModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QString FrameModel::text(int row, int column) const {
    const protocol::BusFrame& frame = frames_[static_cast<std::size_t>(row)];
    switch (column) {
    case Time:
        return link::frameTime(frame);
    case Gap:
        return link::frameGap(frame);
    case Direction:
        return link::directionWord(frame.direction);
    case Bytes:
        return QString::fromStdString(protocol::hexText(frame.bytes));
    case Meaning:
        return QString::fromStdString(frame.meaning);
    default:
        return link::frameFlags(frame);
    }
}

QVariant FrameModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const protocol::BusFrame& frame = frames_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::ToolTipRole:
        return index.column() >= Meaning ? text(index.row(), index.column()) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == Gap ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case Qt::FontRole:
        return index.column() == Bytes ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QVariant();
    case Qt::ForegroundRole:
        return frame.flags.empty() ? QVariant() : QBrush(QColor(170, 40, 0));
    default:
        return {};
    }
}

QVariant FrameModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* titles[] = {"Time", "Gap", "Direction", "Bytes", "Meaning", "Flags"};
    return QString::fromLatin1(titles[section]);
}

} // namespace trivex::forms
