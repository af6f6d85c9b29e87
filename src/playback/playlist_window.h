#pragma once
// PlaylistWindow, the playlist window, and the playback engine that lives in it.
//
// The window shows the rows (ListView1), lets the user add, remove, open and save them, and
// starts a row on a double click. The engine plays one row at a time through the audio
// library: CurrentChannel and EndSync are its fields here, CurrentIndex is on the player
// window. The end-of-track sync arrives on a library thread and is handed to the GUI thread
// before it touches anything; everything else runs on the GUI thread.

#include <QString>
#include <QWidget>

#include "bass.h"
#include "playback/length_cache.h"
#include "playback/playlist_model.h"

class QIODevice;
class QLabel;
class QMenu;
class QPushButton;
class QTreeView;

namespace mirvane {
struct Program;
}

class PlaylistWindow : public QWidget {
    Q_OBJECT
  public:
    // The creation step: starts the audio library, adds and plays the command-line file and
    // reads the automatic playlist (or, at the very first start, the demo tracks).
    explicit PlaylistWindow(mirvane::Program &program);
    ~PlaylistWindow() override; // releases the effects library

    // Engine state.
    DWORD CurrentChannel = 0; // channel that plays now, 0 for none
    HSYNC EndSync = 0;        // end-of-track sync on CurrentChannel
    QString LastAddedDir;     // folder last added through the add-directory dialog

    // Controls.
    QLabel *Panel2 = nullptr; // title bar
    QLabel *Label1 = nullptr; // "X"
    QTreeView *ListView1 = nullptr;
    QWidget *Panel3 = nullptr;          // bottom bar
    QPushButton *JvXPButton3 = nullptr; // "Add"
    QPushButton *JvXPButton2 = nullptr; // "Del"
    QPushButton *JvXPButton1 = nullptr; // "Save"
    QLabel *Image1 = nullptr;           // resize grip
    QMenu *AddMenu = nullptr;
    QMenu *RemoveMenu = nullptr;
    QMenu *SaveMenu = nullptr;

    mirvane::PlaylistModel &Rows() { return model_; }
    const mirvane::PlaylistModel &Rows() const { return model_; }
    // The selected row, -1 when none.
    Q_INVOKABLE int SelectedRow() const;
    Q_INVOKABLE void SelectRow(int row); // selects, gives the keyboard focus and shows it
    Q_INVOKABLE int RowCount() const { return model_.count(); }
    Q_INVOKABLE QString Caption(int row) const;
    Q_INVOKABLE QString FileName(int row) const;

    // Engine.
    Q_INVOKABLE bool StartAudioLibrary(); // false: version test failed
    Q_INVOKABLE void ShowAudioError(const QString &message);
    Q_INVOKABLE void PlayEntry(int row);
    Q_INVOKABLE void PlayMusic();
    Q_INVOKABLE void PlayStream(const QString &fileName);
    Q_INVOKABLE void StopPlayback();
    // The end of CurrentChannel: stops, and plays the next row when there is one.
    Q_INVOKABLE void OnTrackEnd();

    // Rows and files.
    Q_INVOKABLE void AppendEntry(const QString &fileName);
    Q_INVOKABLE void UpdatePlaylistCaption();
    Q_INVOKABLE void ReadPlaylist(const QString &fileName);
    // Writes "#EXTM3U" and every row whose file exists; false when a write failed.
    bool WritePlaylist(QIODevice &file);
    // Writes the list to fileName through a temporary file renamed over the old one; on any
    // failure the old file stays whole and "Write-Error" is shown. With requireM3u, only a
    // name ending ".m3u" gets the rows (any other name is left empty).
    bool SavePlaylistFile(const QString &fileName, bool requireM3u, QWidget *messageOwner);
    // The close step's part: the automatic playlist in the program folder.
    void SaveAutomaticPlaylist();
    // The now-playing mark of a row; out of range: nothing.
    void SetMark(int row, bool on);
    mirvane::LengthCache &Lengths() { return lengths_; }

    // Sends the playlist window to follow the mouse cursor with its lower right corner.
    Q_INVOKABLE void ResizeToCursor();
    // Files dropped from the file manager, in order.
    Q_INVOKABLE void WMDropFiles(const QStringList &names);

  public slots:
    void AddFileClick();
    void AddDirectoryClick();
    void AddInternetStreamClick();
    void OpenPlaylistClick();
    void SavePlaylistClick();
    void RemoveAllClick();
    void RemoveSelectedClick();
    void ListView1DblClick();
    void Label1Click();

  protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

  private:
    void BuildControls();
    // The title lookup: fills the tag editor's boxes, returns its Artist and Title texts.
    std::pair<QString, QString> LookUpTitle(const QString &fileName);
    int MeasureSeconds(const QString &fileName);
    void TrackEnded(DWORD channel);
    static void EndSyncProc(HSYNC handle, DWORD channel, DWORD data, void *user);
    void AddAutomaticPlaylist();
    bool RadioInUse() const;
    void ClearRadioLabels();
    QString CurrentRowCaption() const;

    mirvane::Program &program_;
    mirvane::PlaylistModel model_;
    mirvane::LengthCache lengths_;
    bool audioStarted_ = false; // the version test passed
    bool playlistRead_ = false; // the automatic playlist was read (or absent) at start
    DWORD stoppedChannel_ = 0;  // the channel StopPlayback freed last
    QString lastOpenedPlaylist_;
};
