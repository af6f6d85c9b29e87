#pragma once
// AddDirectoryDialog, the add-directory dialog ("diradd"): the user picks a folder in the
// folder tree, ticks the file types wanted, and every matching file below that folder is
// appended to the playlist, captioned "n. Artist - Title" from its tag.
//
// The search runs on a worker thread (playback/folder_search.h): rows arrive in batches while
// the status shows the running count, and every window, Cancel and "X" included, stays live.
// Adding never changes what plays or what plays next. At the end the status reads "Finished!"
// and the dialog hides; when folders could not be read the dialog stays open and says how many.
//
// Each choice of "Add Directory" makes a fresh dialog with the boxes at their defaults; one
// dialog searches once. GUI thread only.

#include <QStringList>
#include <QWidget>
#include <vector>

#include "playback/folder_search.h"

namespace mirvane {
class PlaylistModel;
}
class QCheckBox;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QPushButton;
class QTreeView;

class AddDirectoryDialog : public QWidget {
    Q_OBJECT
  public:
    // A dialog owned by the playlist window (owner), centred on it; rows go to rows. The tree
    // starts at lastFolder, or else the home folder, and each search stores its folder there.
    // rows and lastFolder belong to the owner and outlive the dialog.
    AddDirectoryDialog(QWidget &owner, mirvane::PlaylistModel &rows, QString &lastFolder);
    ~AddDirectoryDialog() override; // stops a running search and waits for its worker

    // Controls.
    QLabel *Label2 = nullptr; // "Add drive/directory"
    QLabel *Label3 = nullptr; // "X"
    QTreeView *stv1 = nullptr;
    QFileSystemModel *stv1Model = nullptr; // the folders stv1 shows
    QLabel *Label4 = nullptr;              // "Status:"
    QLabel *stats = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QCheckBox *mp1chk = nullptr, *mp2chk = nullptr, *mp3chk = nullptr, *oggchk = nullptr,
              *modchk = nullptr, *mtmchk = nullptr, *xmchk = nullptr, *itchk = nullptr,
              *wavchk1 = nullptr, *s3mchk = nullptr;
    QCheckBox *subs1 = nullptr;
    QPushButton *JvXPButton1 = nullptr; // "Add directory"
    QPushButton *cancel1 = nullptr;     // "Cancel"

    // The folder selected in the tree, "" when none.
    Q_INVOKABLE QString SelectedFolder() const;
    // Selects path in the tree and shows it; a path that is not a folder selects nothing.
    Q_INVOKABLE void SelectFolder(const QString &path);
    // The masks of the ticked boxes ("*.wav", "*.mp1", ...); none ticked: empty (every file).
    Q_INVOKABLE QStringList Masks() const;
    Q_INVOKABLE bool Searching() const { return search_.Running(); }
    // Of the current or last search: files added so far, folders that could not be read.
    Q_INVOKABLE int FilesFound() const { return filesFound_; }
    Q_INVOKABLE int FoldersSkipped() const { return foldersSkipped_; }

  signals:
    // A search ran to its end (not after Cancel or "X"); the last row is in the list.
    void searchEnded();

  public slots:
    void JvXPButton1Click(); // "Add directory": starts the search of the selected folder
    void Label3Click();      // "X": stops a running search and hides
    void cancel1Click();     // "Cancel": only while searching; stops and hides

  protected:
    void closeEvent(QCloseEvent *event) override; // FormClose
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override; // FormPaint
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void BuildControls();
    void ShowSelected(); // opens the folders above the selected one and scrolls to it
    void AddFound(std::vector<mirvane::FoundSong> &&batch); // search1FindFile, a batch at once
    void SearchEnded(const mirvane::WalkSummary &summary);
    void StopSearch();

    mirvane::PlaylistModel &rows_;
    QString &lastFolder_;
    int filesFound_ = 0;
    int foldersSkipped_ = 0;
    bool treeTouched_ = false; // the user scrolled or clicked the tree: it no longer follows
    int depth_ = 0; // 0 no limit; 1 once "Include Subdirectories" was unticked at a start
    mirvane::FolderSearch search_;
};
