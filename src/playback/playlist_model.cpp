#include "playback/playlist_model.h"

namespace mirvane {

QString RenumberedCaption(const QString &caption, int number) {
    qsizetype digits = 0;
    while (digits < caption.size() && digits < 10 && caption[digits].isDigit()) {
        ++digits;
    }
    if (digits == 0 || !caption.mid(digits, 2).startsWith(QLatin1String(". "))) {
        return caption;
    }
    return QString::number(number) + caption.mid(digits);
}

PlaylistModel::PlaylistModel(QObject *parent) : QAbstractTableModel(parent) {}

QString PlaylistModel::caption(int row) const {
    return isValidRow(row) ? RenumberedCaption(this->row(row).caption, row + 1) : QString();
}

int PlaylistModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : count();
}

int PlaylistModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant PlaylistModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || !isValidRow(index.row())) {
        return {};
    }
    const PlaylistRow &r = row(index.row());
    if (role == Qt::DisplayRole) {
        return index.column() == 0 ? caption(index.row()) : r.fileName;
    }
    if (role == Qt::DecorationRole && index.column() == 0 && r.stateIndex == kPlayingMark) {
        return markIcon_;
    }
    return {};
}

QVariant PlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return section == 0 ? QStringLiteral("Title") : QStringLiteral("Filename");
    }
    return {};
}

void PlaylistModel::append(PlaylistRow row) {
    beginInsertRows({}, count(), count());
    rows_.push_back(std::move(row));
    endInsertRows();
}

void PlaylistModel::append(std::vector<PlaylistRow> rows) {
    if (rows.empty()) {
        return;
    }
    beginInsertRows({}, count(), count() + static_cast<int>(rows.size()) - 1);
    for (auto &r : rows) {
        rows_.push_back(std::move(r));
    }
    endInsertRows();
}

void PlaylistModel::removeAt(int row) {
    if (!isValidRow(row)) {
        return;
    }
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
    // The rows after it show their new numbers.
    if (row < count()) {
        emit dataChanged(index(row, 0), index(count() - 1, 0), {Qt::DisplayRole});
    }
}

void PlaylistModel::clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void PlaylistModel::setStateIndex(int row, int stateIndex) {
    if (!isValidRow(row) || rows_[static_cast<size_t>(row)].stateIndex == stateIndex) {
        return;
    }
    rows_[static_cast<size_t>(row)].stateIndex = stateIndex;
    const QModelIndex cell = index(row, 0);
    emit dataChanged(cell, cell, {Qt::DecorationRole});
}

void PlaylistModel::setMarkIcon(const QIcon &icon) {
    markIcon_ = icon;
    if (count() > 0) {
        emit dataChanged(index(0, 0), index(count() - 1, 0), {Qt::DecorationRole});
    }
}

} // namespace mirvane
