#pragma once
// The playback engine: plays one playlist row at a time through the audio library.
//
// It owns the rows (and which one is selected), the channel that plays, the end-of-track sync,
// the playing index and the paused flag; it decides for each row whether its file is tracker
// music or a stream, starts and stops the channel and moves on when a track ends. It has no
// widget: the windows call its operations and keep their displays in step with its signals.
//
// Threads: GUI thread only. The end-of-track sync arrives on a library thread and is queued to
// the GUI thread before it touches anything.

#include <QItemSelectionModel>
#include <QObject>
#include <QString>
#include <functional>

#include "bass.h"
#include "playback/playlist_model.h"

namespace mirvane {

class PlaybackEngine : public QObject {
    Q_OBJECT
    Q_PROPERTY(int CurrentIndex READ CurrentIndex WRITE SetCurrentIndex)
  public:
    enum class Status { Stopped, Playing, Paused };
    Q_ENUM(Status)

    explicit PlaybackEngine(QObject *parent = nullptr);
    ~PlaybackEngine() override;

    // ---- Rows ----------------------------------------------------------------------------
    PlaylistModel &Rows() { return rows_; }
    const PlaylistModel &Rows() const { return rows_; }
    // The list's single selection; views show it through this model.
    QItemSelectionModel &Selection() { return selection_; }
    int RowCount() const { return rows_.count(); }
    int SelectedRow() const; // -1 when none
    // Selects row and asks the views to show it; out of range: nothing.
    void SelectRow(int row);
    QString Caption(int row) const;  // "" out of range
    QString FileName(int row) const; // "" out of range

    // ---- State ---------------------------------------------------------------------------
    DWORD CurrentChannel() const { return currentChannel_; }
    HSYNC EndSync() const { return endSync_; }
    // The row that plays or played last; 0 at start. It follows its row when rows before it
    // are removed.
    int CurrentIndex() const { return currentIndex_; }
    void SetCurrentIndex(int row) { currentIndex_ = row; }
    Status State() const { return status_; }
    bool Paused() const { return paused_; }
    // The master volume, 0..100, sent to the library at its start and whenever it changes.
    int Volume() const { return volume_; }
    void SetVolume(int volume);
    // Whether the radio holds the current channel; the radio window answers.
    void SetRadioInUseQuery(std::function<bool()> query) { radioInUse_ = std::move(query); }
    bool RadioInUse() const { return radioInUse_ && radioInUse_(); }

    // ---- Operations ----------------------------------------------------------------------
    // The version test (exactly 0x10002), the library on device 1 at 44100 Hz, the output
    // start and the master volume. showError gets "BASS version 2.1 was not loaded" (then the
    // result is false and nothing else happened) or "Can't initialize digital sound system"
    // (the start goes on), at once, while the library's error code is still the failure's.
    bool StartAudioLibrary(DWORD version, const std::function<void(const QString &)> &showError);
    // Stops, makes row current and plays it; an invalid row ends stopped.
    void PlayEntry(int row);
    // The current row's file as tracker music.
    void PlayMusic();
    // fileName as a file stream.
    void PlayStream(const QString &fileName);
    // Frees the channel and resets the displays.
    void StopPlayback();
    // The end of the current channel: stops, and plays the next row when there is one.
    void OnTrackEnd();
    // The neighbouring rows; with nowhere to go, playback ends stopped.
    void NextEntry();
    void PreviousEntry();
    // The now-playing mark of a row; out of range: nothing.
    void SetMark(int row, bool on);
    // A channel that another part of the program started (the radio) becomes the current one;
    // the one before is freed.
    void AdoptChannel(DWORD channel);
    // A radio connection failed: what played is freed and playback ends stopped, leaving the
    // radio's own labels ("Not playing") as they are.
    void ReleaseChannel();
    // A station's song title: the banner shows it followed by one blank, scrolling.
    void ShowStreamTitle(const QString &title);

    // ---- Commands with their guards --------------------------------------------------------
    void Play();     // the selected row, when there is one
    void Stop();     // only while playing (a paused channel is not stopped)
    void Pause();    // pauses while playing; resumes when paused
    void Next();     // unless the selected row is the last
    void Previous(); // when a row after the first is selected

  signals:
    // The playing state; positionMoves is false for tracker music, whose position does not
    // move on the displays.
    void stateChanged(mirvane::PlaybackEngine::Status status, bool positionMoves);
    void bannerChanged(const QString &text, bool scrolling);
    void lengthKnown(int seconds); // the position slider's new maximum
    void positionReset();          // the position slider and the time label go to zero
    // A new channel plays: the equalizer and the effects attach to it.
    void channelStarted(DWORD channel);
    void radioReleased(); // playback stopped: the radio's labels empty
    void rowShown(int row);

  private:
    static void EndSyncProc(HSYNC handle, DWORD channel, DWORD data, void *user);
    static void LengthSyncProc(HSYNC handle, DWORD channel, DWORD data, void *user);
    void TrackEnded(DWORD channel);
    void FreeChannel();
    void SetStatus(Status status, bool positionMoves);
    void RowsRemoved(int first, int last);
    QString CurrentCaption() const { return Caption(currentIndex_); }

    PlaylistModel rows_;
    QItemSelectionModel selection_;
    DWORD currentChannel_ = 0;
    HSYNC endSync_ = 0;
    DWORD stoppedChannel_ = 0; // the channel StopPlayback freed last
    int currentIndex_ = 0;
    // The playing row was removed: currentIndex_ names the row that followed it, which is
    // what Next plays.
    bool currentRowRemoved_ = false;
    bool paused_ = false;
    int volume_ = 80;
    Status status_ = Status::Stopped;
    bool positionMoves_ = false; // what the last Playing state said
    std::function<bool()> radioInUse_;
};

} // namespace mirvane
