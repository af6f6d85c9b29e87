#pragma once
// PlaylistWindow, the playlist window.
//
// The window shows the engine's rows (ListView1), lets the user add, remove, open and save
// them, and starts a row on a double click. Playing is the engine's (playback/engine.h); the
// engine operations named on this window are thin calls into it. GUI thread only.

#include <QPointer>
#include <QString>
#include <QWidget>

#include "bass.h"
#include "playback/engine.h"
#include "playback/length_cache.h"
#include "playback/playlist_formats.h"
#include "playback/playlist_model.h"

class AddDirectoryDialog;
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

    QString LastAddedDir; // folder last added through the add-directory dialog

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

    mirvane::PlaybackEngine &Engine() { return engine_; }
    mirvane::PlaylistModel &Rows() { return engine_.Rows(); }
    const mirvane::PlaylistModel &Rows() const { return engine_.Rows(); }
    // The selected row, -1 when none.
    Q_INVOKABLE int SelectedRow() const { return engine_.SelectedRow(); }
    Q_INVOKABLE void SelectRow(int row) { engine_.SelectRow(row); }
    Q_INVOKABLE int RowCount() const { return engine_.RowCount(); }
    Q_INVOKABLE QString Caption(int row) const { return engine_.Caption(row); }
    Q_INVOKABLE QString FileName(int row) const { return engine_.FileName(row); }

    // The engine's operations.
    Q_INVOKABLE bool StartAudioLibrary(); // false: version test failed
    Q_INVOKABLE void ShowAudioError(const QString &message);
    Q_INVOKABLE void PlayEntry(int row) { engine_.PlayEntry(row); }
    Q_INVOKABLE void PlayMusic() { engine_.PlayMusic(); }
    Q_INVOKABLE void PlayStream(const QString &fileName) { engine_.PlayStream(fileName); }
    Q_INVOKABLE void StopPlayback() { engine_.StopPlayback(); }
    Q_INVOKABLE void OnTrackEnd() { engine_.OnTrackEnd(); }

    // A file named on a command line (this program's or a later start's): when it exists and
    // has a playable extension, it is appended and played.
    Q_INVOKABLE void PlayCommandLineFile(const QString &file);

    // Rows and files.
    Q_INVOKABLE void AppendEntry(const QString &fileName);
    Q_INVOKABLE void UpdatePlaylistCaption();
    // Appends the rows of a playlist file in any format playlists::TryReadFile reads (M3U,
    // M3U8, PLS, XSPF); a file that cannot be read adds nothing and shows nothing.
    Q_INVOKABLE void ReadPlaylist(const QString &fileName);
    // Writes every row whose file exists, measured, in the format (M3U: "#EXTM3U" and two
    // lines a row). Outcome: false when the write failed.
    bool WritePlaylist(QIODevice &file,
                       mirvane::playlists::Format format = mirvane::playlists::Format::M3u);
    // Writes the list to fileName through a temporary file renamed over the old one, in the
    // format its extension names (M3U for any other). On any failure the old file stays whole
    // and "Write-Error" is shown (owned by messageOwner).
    bool SavePlaylistFile(const QString &fileName, QWidget *messageOwner);
    // The close step's part: the automatic playlist in the program folder.
    void SaveAutomaticPlaylist(QWidget *messageOwner);
    mirvane::LengthCache &Lengths() { return lengths_; }

    // Sends the playlist window to follow the mouse cursor with its lower right corner.
    Q_INVOKABLE void ResizeToCursor();
    // Files dropped from the file manager, in order: music files are appended, playlist files
    // (.m3u, .m3u8, .pls, .xspf) add their entries.
    Q_INVOKABLE void WMDropFiles(const QStringList &names);

  signals:
    // The resize grip is pressed or released: the player's grip timer follows the cursor.
    void gripPressed();
    void gripReleased();
    // The "X" of the title bar: the player shows or hides this window.
    void closeRequested();

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
    // The title lookup: the Artist and Title texts of fileName's tag.
    std::pair<QString, QString> LookUpTitle(const QString &fileName);
    int MeasureSeconds(const QString &fileName);
    // The rows a list file keeps: those whose file exists, with their lengths in seconds.
    std::vector<mirvane::m3u::Entry> EntriesToSave();
    void AddAutomaticPlaylist();
    void KeepUnreadablePlaylistAside(const QString &automatic);

    mirvane::Program &program_;
    mirvane::PlaybackEngine &engine_;
    mirvane::LengthCache lengths_;
    bool audioStarted_ = false; // the version test passed
    bool playlistRead_ = false; // the automatic playlist was read (or absent) at start
    QString lastOpenedPlaylist_;
    QPointer<AddDirectoryDialog> addDirectory_; // the last one made by "Add Directory"
};
