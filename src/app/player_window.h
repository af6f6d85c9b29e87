#pragma once
// PlayerWindow, the player window: the main window of the program. Six picture buttons, the title
// banner, the time display, three sliders, the spectrum area and the right-click menu that
// reaches every other window. It owns the program's one timer routine (timers keyed by id),
// its commands go to the playback engine, whose signals keep its displays in step; closing it
// ends the program.
// GUI thread only.

#include <QIcon>
#include <QLabel>
#include <QList>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <array>
#include <map>
#include <memory>

#include "bass.h"
#include "controls/skin_picture.h"
#include "playback/engine.h"
#include "skin/skin_loader.h"

class QAction;
class QMenu;
class QPropertyAnimation;
class BitmapFontLabel;
class BitmapSlider;
class SpectrumAnalyser;
class WindowShaper;

namespace mirvane {
struct Program;
}

// A picture button of the player window: shows a picture, has the hand cursor, and reports
// presses, releases and clicks (a press and a release inside it).
class PictureButton : public SkinPicture {
    Q_OBJECT
  public:
    explicit PictureButton(QWidget *parent);
  signals:
    void pressed();
    void released();
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    bool down_ = false;
};

// The analyser area: shows the last frame the spectrum painter drew.
class AnalyserBox : public QWidget {
    Q_OBJECT
  public:
    explicit AnalyserBox(QWidget *parent);
    const SpectrumAnalyser *Painter = nullptr; // its last frame is drawn at the top left, clipped
  protected:
    void paintEvent(QPaintEvent *event) override;
};

class PlayerWindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int CurrentIndex READ CurrentIndex WRITE SetCurrentIndex)
    Q_PROPERTY(bool PositionTracking MEMBER PositionTracking)
  public:
    // Timer ids of the one timer routine.
    static constexpr int kGripTimer = 2000;     // 1 ms, playlist resize grip
    static constexpr int kPositionTimer = 2001; // 90 ms
    static constexpr int kVisualTimer = 2002;   // 33 ms
    static constexpr int kSearchTimer = 2004;   // 150 ms, add-directory watcher

    enum StatusPicture { StatusStopped, StatusPlaying, StatusPaused };

    // The creation step: reads SkinName, Volume and OnTop, creates the spectrum painter and
    // loads the skin.
    explicit PlayerWindow(mirvane::Program &program);
    ~PlayerWindow() override;

    // The engine's playing index, shown here by its old name.
    int CurrentIndex() const;
    void SetCurrentIndex(int row);
    bool PositionTracking = false;
    QString SkinName;

    // Controls.
    QLabel *Image1 = nullptr;
    PictureButton *plButton = nullptr, *PrevBtn = nullptr, *PlayBtn = nullptr, *StopBtn = nullptr,
                  *NextBtn = nullptr, *psBtn = nullptr;
    BitmapFontLabel *STitle = nullptr;
    QWidget *vrDisplay1 = nullptr;
    QLabel *Label1 = nullptr; // elapsed time
    QLabel *Status = nullptr; // status indicator
    BitmapSlider *SliderPos = nullptr, *SliderVol = nullptr, *SliderBal = nullptr;
    AnalyserBox *PaintBox1 = nullptr;
    QLabel *Image4 = nullptr, *Image5 = nullptr, *Image6 = nullptr; // stopped, playing, paused
    WindowShaper *trans1 = nullptr;
    QList<QIcon> ImageList1; // 0 product, 1 controls, 2 preferences, 3 configuration, 4 play

    QMenu *JvPopupMenu1 = nullptr;
    QAction *Repeat1 = nullptr, *PreviousSong1 = nullptr, *Play1 = nullptr, *Pause1 = nullptr,
            *Stop1 = nullptr, *NextSong1 = nullptr, *ShowPlaylist1 = nullptr, *ShowEQ1 = nullptr,
            *InternetRadio1 = nullptr, *Configuration1 = nullptr, *StayOnTop1 = nullptr,
            *SoniquePlugins1 = nullptr, *ID3Tag1 = nullptr, *ShowPlayer1 = nullptr,
            *Exit1 = nullptr, *About1 = nullptr;

    const mirvane::SkinState &Skin() const { return skin_; }
    SpectrumAnalyser *Spectrum() const { return spectrum_.get(); }
    const std::array<float, 16> &BandLevels() const { return bandLevels_; }

    // The file named on the raw command line ("<program path>" <file>), or "".
    Q_INVOKABLE QString GetCMDLineFile(const QString &commandLine) const;
    Q_INVOKABLE void LoadSkin(const QString &name);

    // The timer service: SetTimer starts (or restarts) timer id with the interval; every tick
    // runs PlayerTimerProc(id).
    Q_INVOKABLE void SetTimer(int id, int intervalMs);
    Q_INVOKABLE void KillTimer(int id);
    Q_INVOKABLE bool TimerActive(int id) const;
    Q_INVOKABLE int TimerInterval(int id) const; // 0 when not running
    Q_INVOKABLE void PlayerTimerProc(int id);
    Q_INVOKABLE void UpdateSpectrumLevels();

    // Displays the engine keeps in step.
    void SetStatusPicture(StatusPicture picture);
    StatusPicture StatusPictureShown() const { return status_; }
    void SetBannerText(const QString &text);
    void SetBannerScrolling(bool on);
    bool Paused() const;

    // Engine commands.
    Q_INVOKABLE void NextEntry();
    Q_INVOKABLE void PreviousEntry();

    // The tray icon's mouse report (lParam 0x204: right button down).
    Q_INVOKABLE void WM_CALLBACKPRO(int lParam);
    // Whether the tray icon is there. Without it "Show player" is disabled and a hidden
    // player is shown again, so the program never runs without a visible way back.
    void SetTrayIconShown(bool shown);

  public slots:
    void PlaybtnClick();
    void StopbtnClick();
    void PsbtnClick();
    void NextbtnClick();
    void PrevbtnClick();
    void PlbuttonClick(); // shows or hides the playlist window
    void SliderPosChange();
    void SliderPosStartTracking();
    void SliderPosStopTracking();
    void SliderBalChange();
    void SliderBalStartTracking();
    void SliderBalStopTracking();
    void SliderVolChange();
    void SliderVolStartTracking();
    void SliderVolStopTracking();
    void StayOnTopClick();
    void ShowPlayerClick();
    void RepeatClick();
    void ShowEQClick();
    void InternetRadioClick();
    void ConfigurationClick();
    void AboutClick();
    void SoniqueClick();
    // Shows the tag editor; while a file row plays or is paused, the editor first loads that
    // file (TagEditor::LoadFile) unless it is already showing it.
    void ID3TagClick();
    void ExitClick();
    void MoveForm();

  protected:
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void BuildControls();
    void BuildMenu();
    void ReadSettings();
    void FormClose();
    void BeginMove(QPointF globalPress);
    void ButtonImage(PictureButton *button, const char *stem);
    void EndOfVolumeOrBalanceDrag(const QString &fixedLine);
    void EngineStateChanged(mirvane::PlaybackEngine::Status status, bool positionMoves);
    QString RowCaption(int row) const;
    bool RadioInUse() const;
    DWORD Channel() const;

    mirvane::Program &program_;
    mirvane::PlaybackEngine &engine_;
    mirvane::SkinState skin_;
    std::unique_ptr<SpectrumAnalyser> spectrum_;
    std::array<float, 1025> fft_{};
    std::array<float, 16> bandLevels_{};
    std::map<int, QTimer *> timers_;
    StatusPicture status_ = StatusStopped;
    bool closed_ = false;
    bool trayIconShown_ = false;
    bool moving_ = false;
    bool playlistPlaced_ = false;
    QTimer storePosition_; // writes MainTop/MainLeft once a move has settled
    // After Stop or Pause the analyser's bars fall to the bottom instead of freezing.
    QTimer spectrumFall_;
    QPropertyAnimation *unfold_ = nullptr; // the playlist's unfolding, while it runs
};
