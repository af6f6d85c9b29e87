#pragma once
// The rows of the playlist: a caption ("Title") and a file name ("Filename": a full path or a
// URL), plus each row's state image (4 is the now-playing mark, -1 none).
//
// A flat table model so that the list view stays fast with a hundred thousand rows: appending
// many rows is one insertion, and a changed mark repaints one cell. GUI thread only.

#include <QAbstractTableModel>
#include <QIcon>
#include <vector>

namespace mirvane {

// A caption that starts with a row number ("12. Artist - Title") with that number replaced by
// `number`; any other caption as it is. Rows show and keep their current place this way,
// while the stored form stays the one other players read.
QString RenumberedCaption(const QString &caption, int number);

struct PlaylistRow {
    QString caption;
    QString fileName;
    int stateIndex = -1;
};

class PlaylistModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kPlayingMark = 4;

    explicit PlaylistModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int count() const { return static_cast<int>(rows_.size()); }
    bool isValidRow(int row) const { return row >= 0 && row < count(); }
    // Precondition: isValidRow(row).
    const PlaylistRow &row(int row) const { return rows_[static_cast<size_t>(row)]; }
    // The caption as the list shows it, numbered by the row's current place; "" out of range.
    QString caption(int row) const;

    void append(PlaylistRow row);
    void append(std::vector<PlaylistRow> rows);
    void removeAt(int row); // out of range: nothing
    void clear();
    // Out of range: nothing (the engine may name a row that has gone).
    void setStateIndex(int row, int stateIndex);
    int stateIndex(int row) const { return isValidRow(row) ? this->row(row).stateIndex : -1; }

    // The picture shown for state image 4.
    void setMarkIcon(const QIcon &icon);

  private:
    std::vector<PlaylistRow> rows_;
    QIcon markIcon_;
};

} // namespace mirvane
