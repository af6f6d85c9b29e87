#include "app/player_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QUrl>
#include <QWindow>
#include <algorithm>

#include "app/program.h"
#include "common/paths.h"
#include "common/rounding.h"
#include "common/screen_fit.h"
#include "controls/bitmap_font_label.h"
#include "controls/bitmap_slider.h"
#include "controls/control_art.h"
#include "controls/spectrum_analyser.h"
#include "effects/equalizer_window.h"
#include "playback/m3u.h"
#include "playback/playlist_window.h"
#include "prefs/config_window.h"
#include "prefs/settings.h"
#include "radio/radio_window.h"
#include "skin/window_shaper.h"
#include "tags/tag_editor.h"

namespace {

constexpr int kDefaultVolume = 80; // a new user hears something at the first start

// The lines a volume or balance drag leaves on the banner when nothing else is there.
const QString kVolumeLine = "Mirvane Player - made by Halvorn";
const QString kBalanceLine = "Mirvane Player - a Halvorn product";

using mirvane::m3u::MinutesSeconds;

QPixmap StatusPixmap(int which) {
    const QColor green(0, 224, 0);
    QPixmap pm(which == 1 ? QSize(7, 7) : QSize(6, 6));
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Qt::NoPen);
    p.setBrush(green);
    if (which == 0) {
        p.drawRect(0, 0, 6, 6); // stopped: a square
    } else if (which == 1) {
        QPainterPath path;
        path.moveTo(0, 0);
        path.lineTo(7, 3.5);
        path.lineTo(0, 7);
        path.closeSubpath();
        p.drawPath(path); // playing: a triangle pointing right
    } else {
        p.drawRect(0, 0, 2, 6); // paused: two bars
        p.drawRect(4, 0, 2, 6);
    }
    return pm;
}

QIcon ListIcon(int which) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (which) {
    case 0: // the product mark: a disc
        p.setBrush(QColor(200, 0, 0));
        p.setPen(QColor(80, 0, 0));
        p.drawEllipse(1, 1, 14, 14);
        p.setBrush(Qt::black);
        p.drawEllipse(6, 6, 4, 4);
        break;
    case 1: // controls: three sliders
        p.setPen(QColor(40, 40, 40));
        for (int i = 0; i < 3; ++i) {
            p.drawLine(3 + 5 * i, 2, 3 + 5 * i, 14);
            p.fillRect(1 + 5 * i, 4 + 3 * i, 5, 3, QColor(0, 120, 200));
        }
        break;
    case 2: // preferences: a check mark in a box
        p.setPen(QColor(40, 40, 40));
        p.drawRect(2, 2, 12, 12);
        p.setPen(QPen(QColor(0, 150, 0), 2));
        p.drawLine(4, 8, 7, 11);
        p.drawLine(7, 11, 12, 4);
        break;
    case 3: // configuration: a cog
        p.setBrush(QColor(110, 110, 110));
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 4; ++i) {
            p.save();
            p.translate(8, 8);
            p.rotate(45 * i);
            p.drawRect(-1.5, -7.5, 3, 15);
            p.restore();
        }
        p.drawEllipse(3, 3, 10, 10);
        p.setBrush(Qt::white);
        p.drawEllipse(6, 6, 4, 4);
        break;
    default: { // 4: the now-playing mark
        QPainterPath path;
        path.moveTo(4, 2);
        path.lineTo(14, 8);
        path.lineTo(4, 14);
        path.closeSubpath();
        p.setPen(QColor(0, 90, 0));
        p.setBrush(QColor(0, 210, 0));
        p.drawPath(path);
    }
    }
    return QIcon(pm);
}

} // namespace

// ---- PictureButton -------------------------------------------------------------------------

PictureButton::PictureButton(QWidget *parent) : SkinPicture(parent) {
    setCursor(mirvane::HandCursor());
    setAttribute(Qt::WA_TranslucentBackground);
}

void PictureButton::mousePressEvent(QMouseEvent *event) {
    down_ = event->button() == Qt::LeftButton;
    emit pressed();
}

void PictureButton::mouseReleaseEvent(QMouseEvent *event) {
    const bool click =
        down_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    down_ = false;
    // The click comes before the release, so a release image that cannot be read does not
    // swallow the command.
    if (click) {
        emit clicked();
    }
    emit released();
}

// ---- AnalyserBox ------------------------------------------------------------------------------

AnalyserBox::AnalyserBox(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void AnalyserBox::paintEvent(QPaintEvent *) {
    if (Painter) {
        QPainter p(this);
        Painter->Paint(p);
    }
}

// ---- PlayerWindow
// ---------------------------------------------------------------------------------

PlayerWindow::PlayerWindow(mirvane::Program &program)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), program_(program),
      engine_(*program.engine) {
    setObjectName("Form1");
    setWindowTitle("Mirvane Player");
    BuildControls();
    BuildMenu();
    storePosition_.setSingleShot(true);
    connect(&storePosition_, &QTimer::timeout, this, [this] {
        moving_ = false;
        mirvane::settings::WriteInteger("MainTop", y());
        mirvane::settings::WriteInteger("MainLeft", x());
    });

    ReadSettings();

    spectrumFall_.setInterval(33);
    connect(&spectrumFall_, &QTimer::timeout, this, [this] {
        bandLevels_.fill(0.0f);
        spectrum_->Frame(bandLevels_);
        PaintBox1->update();
        const auto atZero = [](std::span<const float> v) {
            return std::all_of(v.begin(), v.end(), [](float x) { return x <= 0.0f; });
        };
        if (atZero(spectrum_->Bars()) && atZero(spectrum_->Peaks())) {
            spectrumFall_.stop();
        }
    });

    using Engine = mirvane::PlaybackEngine;
    connect(&engine_, &Engine::stateChanged, this, &PlayerWindow::EngineStateChanged);
    connect(&engine_, &Engine::bannerChanged, this, [this](const QString &text, bool scrolling) {
        SetBannerText(text);
        SetBannerScrolling(scrolling);
    });
    connect(&engine_, &Engine::lengthKnown, this,
            [this](int seconds) { SliderPos->setMaxValue(seconds); });
    connect(&engine_, &Engine::positionReset, this, [this] {
        SliderPos->setValue(0); // its change handler may run; the label is set after it
        Label1->setText("0:0");
    });

    spectrum_ = std::make_unique<SpectrumAnalyser>(169, 57, 16);
    spectrum_->LowLimit = 20;
    spectrum_->MidLimit = 40;
    PaintBox1->Painter = spectrum_.get();
    try {
        LoadSkin(SkinName);
    } catch (...) {
        // A skin whose outline or background cannot be read leaves the window as it is; the
        // program still starts.
    }
}

PlayerWindow::~PlayerWindow() = default;

void PlayerWindow::BuildControls() {
    resize(249, 97);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
    setCursor(Qt::SizeAllCursor);
    setContextMenuPolicy(Qt::CustomContextMenu);

    Image1 = new SkinPicture(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 249, 73);
    Image1->setToolTip("Right Click to view menu");
    Image1->installEventFilter(this);

    const auto makeButton = [this](PictureButton *&button, const char *name, int x, int w,
                                   const char *hint, const char *down, const char *up,
                                   void (PlayerWindow::*click)()) {
        button = new PictureButton(this);
        button->setObjectName(name);
        button->setGeometry(x, 80, w, 17);
        button->setToolTip(hint);
        PictureButton *b = button;
        connect(b, &PictureButton::pressed, this, [this, b, down] { ButtonImage(b, down); });
        connect(b, &PictureButton::released, this, [this, b, up] { ButtonImage(b, up); });
        connect(b, &PictureButton::clicked, this, click);
    };
    makeButton(plButton, "plButton", 0, 33, "Playlist", "pldown", "plup",
               &PlayerWindow::PlbuttonClick);
    makeButton(PrevBtn, "PrevBtn", 40, 33, "Previous", "prevdown", "prevup",
               &PlayerWindow::PrevbtnClick);
    makeButton(PlayBtn, "PlayBtn", 80, 33, "Play", "playdown", "playup",
               &PlayerWindow::PlaybtnClick);
    makeButton(StopBtn, "StopBtn", 120, 33, "Stop", "stopdown", "stopup",
               &PlayerWindow::StopbtnClick);
    makeButton(NextBtn, "NextBtn", 160, 33, "Next", "nextdown", "nextup",
               &PlayerWindow::NextbtnClick);
    makeButton(psBtn, "psBtn", 200, 34, "Pause", "psdown", "psup", &PlayerWindow::PsbtnClick);

    STitle = new BitmapFontLabel(this);
    STitle->setObjectName("STitle");
    STitle->setGeometry(32, 8, 176, 20);
    STitle->setBorderStyle(BitmapFontLabel::bsNone);
    STitle->setBannerSpeed(300);
    STitle->setCharWidth(mirvane::PlayerFontCharWidth);
    STitle->setFillChar(' ');
    STitle->setFontChars(mirvane::PlayerFontChars());
    STitle->setFontBitmap(mirvane::PlayerFontBitmap());
    STitle->setColor(Qt::black);
    STitle->setText("Mirvane Player ");
    STitle->setBanner(true);

    vrDisplay1 = new QWidget(this);
    vrDisplay1->setObjectName("vrDisplay1");
    vrDisplay1->setGeometry(40, 40, 51, 13);
    vrDisplay1->setAutoFillBackground(true);
    QPalette black = vrDisplay1->palette();
    black.setColor(QPalette::Window, Qt::black);
    vrDisplay1->setPalette(black);

    Label1 = new QLabel("0:00", vrDisplay1);
    Label1->setObjectName("Label1");
    Label1->setTextFormat(Qt::PlainText);
    Label1->setGeometry(5, 0, 28, 13);
    Label1->setMaximumWidth(40);
    Label1->setToolTip("Time Played");
    QFont small = Label1->font();
    small.setPixelSize(10);
    small.setBold(true);
    Label1->setFont(small);
    Label1->setStyleSheet("color: yellow;");

    Status = new QLabel(vrDisplay1);
    Status->setObjectName("Status");
    Status->setGeometry(34, 3, 7, 7);
    Status->setToolTip("Status");

    Image4 = new QLabel(this);
    Image4->setObjectName("Image4");
    Image4->setPixmap(StatusPixmap(0));
    Image4->hide();
    Image5 = new QLabel(this);
    Image5->setObjectName("Image5");
    Image5->setPixmap(StatusPixmap(1));
    Image5->hide();
    Image6 = new QLabel(this);
    Image6->setObjectName("Image6");
    Image6->setPixmap(StatusPixmap(2));
    Image6->hide();
    SetStatusPicture(StatusStopped);

    const auto makeSlider = [this](const char *name, int x, int y, int w, const char *hint) {
        auto *s = new BitmapSlider(this);
        s->setObjectName(name);
        s->setGeometry(x, y, w, 12);
        s->setIncrement(1);
        s->setOptions({});
        s->setEdgeSize(0);
        s->setNumThumbStates(2);
        s->setColor(Qt::black);
        s->setTabStop(false);
        s->setToolTip(hint);
        return s;
    };
    SliderPos = makeSlider("SliderPos", 32, 56, 176, "Position");
    SliderVol = makeSlider("SliderVol", 133, 35, 78, "Volume");
    SliderBal = makeSlider("SliderBal", 92, 35, 33, "Balance");
    SliderBal->setMinValue(-100);
    connect(SliderPos, &BitmapSlider::OnChange, this, &PlayerWindow::SliderPosChange);
    connect(SliderPos, &BitmapSlider::OnStartTracking, this, &PlayerWindow::SliderPosStartTracking);
    connect(SliderPos, &BitmapSlider::OnStopTracking, this, &PlayerWindow::SliderPosStopTracking);
    connect(SliderBal, &BitmapSlider::OnChange, this, &PlayerWindow::SliderBalChange);
    connect(SliderBal, &BitmapSlider::OnStartTracking, this, &PlayerWindow::SliderBalStartTracking);
    connect(SliderBal, &BitmapSlider::OnStopTracking, this, &PlayerWindow::SliderBalStopTracking);
    connect(SliderVol, &BitmapSlider::OnChange, this, &PlayerWindow::SliderVolChange);
    connect(SliderVol, &BitmapSlider::OnStartTracking, this, &PlayerWindow::SliderVolStartTracking);
    connect(SliderVol, &BitmapSlider::OnStopTracking, this, &PlayerWindow::SliderVolStopTracking);

    PaintBox1 = new AnalyserBox(this);
    PaintBox1->setObjectName("PaintBox1");
    PaintBox1->setGeometry(48, 16, 169, 57);
    PaintBox1->hide();

    trans1 = new WindowShaper(this);
    trans1->setObjectName("trans1");
    trans1->setAutoSize(true);

    for (int i = 0; i < 5; ++i) {
        ImageList1.append(ListIcon(i));
    }
}

void PlayerWindow::BuildMenu() {
    JvPopupMenu1 = new QMenu(this);
    JvPopupMenu1->setObjectName("JvPopupMenu1");
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { JvPopupMenu1->popup(mapToGlobal(pos)); });

    const auto web = [](QMenu *menu, const QString &caption, const QString &address) {
        QObject::connect(menu->addAction(caption), &QAction::triggered, menu,
                         [address] { QDesktopServices::openUrl(QUrl(address)); });
    };
    QMenu *mirvaneMenu = JvPopupMenu1->addMenu("Mirvane");
    About1 = mirvaneMenu->addAction("About", this, &PlayerWindow::AboutClick);
    QMenu *webMenu = mirvaneMenu->addMenu("Web");
    web(webMenu, "Mirvane Player website", "https://mirvane.example.org/");
    web(webMenu, "Download Sonique plugins", "https://mirvane.example.org/plugins/");
    web(webMenu->addMenu("Make money"), "Money doubler, tripler or even more!",
        "https://mirvane.example.org/money/");
    web(webMenu->addMenu("Get traffic"), "Halvorn Traffic Exchange",
        "https://traffic.halvorn.example.org/");

    QMenu *controls = JvPopupMenu1->addMenu(ImageList1[1], "Controls");
    QMenu *play = controls->addMenu("Play controls");
    Repeat1 = play->addAction("Repeat", this, &PlayerWindow::RepeatClick);
    Repeat1->setCheckable(true);
    PreviousSong1 = play->addAction("Previous song", this, &PlayerWindow::PrevbtnClick);
    PreviousSong1->setShortcut(QKeySequence("Ctrl+B"));
    Play1 = play->addAction("Play", this, &PlayerWindow::PlaybtnClick);
    Play1->setShortcut(QKeySequence("Ctrl+P"));
    Pause1 = play->addAction("Pause");
    Pause1->setCheckable(true);
    // The tick is the paused flag, which only the Pause command itself changes.
    connect(Pause1, &QAction::triggered, this, [this](bool checked) {
        Pause1->setChecked(!checked);
        PsbtnClick();
    });
    Stop1 = play->addAction("Stop", this, &PlayerWindow::StopbtnClick);
    Stop1->setShortcut(QKeySequence("Ctrl+S"));
    NextSong1 = play->addAction("Next song", this, &PlayerWindow::NextbtnClick);
    NextSong1->setShortcut(QKeySequence("Ctrl+N"));
    ShowPlaylist1 = controls->addAction("Show playlist", this, &PlayerWindow::PlbuttonClick);
    ShowEQ1 = controls->addAction("Show EQ", this, &PlayerWindow::ShowEQClick);
    InternetRadio1 = controls->addAction("Internet radio", this, &PlayerWindow::InternetRadioClick);
    for (QAction *a : {PreviousSong1, Play1, Stop1, NextSong1}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a); // the shortcuts work while the player window has the focus
    }

    QMenu *prefs = JvPopupMenu1->addMenu(ImageList1[2], "Preferences");
    Configuration1 = prefs->addAction(ImageList1[3], "Configuration && Effects", this,
                                      &PlayerWindow::ConfigurationClick);
    StayOnTop1 = prefs->addAction("Stay on top", this, &PlayerWindow::StayOnTopClick);
    StayOnTop1->setCheckable(true);

    QMenu *visuals = JvPopupMenu1->addMenu("Visuals");
    SoniquePlugins1 =
        visuals->addAction("Sonique visual plugins", this, &PlayerWindow::SoniqueClick);
    QMenu *fileInfo = JvPopupMenu1->addMenu("File info");
    ID3Tag1 = fileInfo->addAction("ID3 Tag", this, &PlayerWindow::ID3TagClick);
    ShowPlayer1 =
        JvPopupMenu1->addAction(ImageList1[3], "Show player", this, &PlayerWindow::ShowPlayerClick);
    ShowPlayer1->setCheckable(true);
    ShowPlayer1->setChecked(true);
    Exit1 = JvPopupMenu1->addAction(ImageList1[0], "Exit", this, &PlayerWindow::ExitClick);
}

void PlayerWindow::ReadSettings() {
    namespace s = mirvane::settings;
    const auto skin = s::ReadString("SkinName");
    // A skin name stored once is honoured, even an empty one.
    SkinName = skin ? *skin : QString::fromLatin1(mirvane::kDefaultSkinName);
    SliderVol->setValue(s::ReadInteger("Volume").value_or(kDefaultVolume));
    engine_.SetVolume(SliderVol->Value()); // sent to the library when it starts
    const bool onTop = s::ReadBool("OnTop").value_or(false);
    StayOnTop1->setChecked(onTop);
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);

    // The window opens where it was left, when that place is still on a screen.
    const auto top = s::ReadInteger("MainTop");
    const auto left = s::ReadInteger("MainLeft");
    if (top && left) {
        const QPoint place(*left, *top);
        for (const QScreen *screen : QGuiApplication::screens()) {
            if (screen->availableGeometry().contains(place)) {
                move(place);
                break;
            }
        }
    }
}

QString PlayerWindow::GetCMDLineFile(const QString &commandLine) const {
    return mirvane::CommandLineFile(commandLine);
}

void PlayerWindow::LoadSkin(const QString &name) {
    SkinName = name;
    mirvane::SkinParts parts;
    parts.window = this;
    parts.Image1 = Image1;
    parts.plButton = plButton;
    parts.PrevBtn = PrevBtn;
    parts.PlayBtn = PlayBtn;
    parts.StopBtn = StopBtn;
    parts.psBtn = psBtn;
    parts.NextBtn = NextBtn;
    parts.vrDisplay1 = vrDisplay1;
    parts.STitle = STitle;
    parts.SliderPos = SliderPos;
    parts.SliderBal = SliderBal;
    parts.SliderVol = SliderVol;
    parts.PaintBox1 = PaintBox1;
    parts.trans1 = trans1;
    mirvane::LoadSkin(parts, skin_, mirvane::DataDir(), name);
}

void PlayerWindow::ButtonImage(PictureButton *button, const char *stem) {
    try {
        mirvane::SwapButtonImage(button, skin_.skinDir, QString::fromLatin1(stem));
    } catch (const mirvane::SkinFileError &) {
        // A picture the skin lacks: the button keeps its image and the handler ends without a
        // message, as the error rule would have it. Caught here rather than in the
        // application's rule so that it never unwinds through the toolkit's event dispatch.
    }
}

// ---- Timers ---------------------------------------------------------------------------------

void PlayerWindow::SetTimer(int id, int intervalMs) {
    QTimer *&timer = timers_[id];
    if (!timer) {
        timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, id] { PlayerTimerProc(id); });
    }
    timer->start(intervalMs);
}

void PlayerWindow::KillTimer(int id) {
    const auto it = timers_.find(id);
    if (it != timers_.end()) {
        it->second->stop();
    }
}

bool PlayerWindow::TimerActive(int id) const {
    const auto it = timers_.find(id);
    return it != timers_.end() && it->second->isActive();
}

int PlayerWindow::TimerInterval(int id) const {
    return TimerActive(id) ? timers_.at(id)->interval() : 0;
}

void PlayerWindow::PlayerTimerProc(int id) {
    switch (id) {
    case kPositionTimer:
        if (!PositionTracking) {
            const DWORD ch = Channel();
            SliderPos->setValue(
                mirvane::RoundHalfEven(BASS_ChannelBytes2Seconds(ch, BASS_ChannelGetPosition(ch))));
        }
        mirvane::ProcessPendingEvents();
        break;
    case kVisualTimer:
        if (skin_.visual == QLatin1String("Spectrum")) {
            PaintBox1->show();
            UpdateSpectrumLevels();
            spectrum_->Frame(bandLevels_);
            PaintBox1->update();
        }
        break;
    case kSearchTimer:
        // FIXME: the add-directory search comes with its own window; without it there is
        // nothing to watch.
        KillTimer(kSearchTimer);
        break;
    case kGripTimer:
        if (program_.playlist) {
            program_.playlist->ResizeToCursor();
        }
        break;
    default:
        break;
    }
}

void PlayerWindow::UpdateSpectrumLevels() {
    if (engine_.State() == mirvane::PlaybackEngine::Status::Paused) {
        // A paused channel still reports what was heard last; the bars fall instead.
        bandLevels_.fill(0.0f);
        return;
    }
    // What the call delivers is not checked: after a call that delivered nothing, the levels
    // come from what the buffer still holds.
    BASS_ChannelGetData(Channel(), fft_.data(), BASS_DATA_FFT2048);
    mirvane::SpectrumBandLevels(fft_, bandLevels_);
}

// ---- Displays -------------------------------------------------------------------------------

void PlayerWindow::SetStatusPicture(StatusPicture picture) {
    status_ = picture;
    const QLabel *source = picture == StatusStopped   ? Image4
                           : picture == StatusPlaying ? Image5
                                                      : Image6;
    Status->setPixmap(source->pixmap());
}

void PlayerWindow::SetBannerText(const QString &text) {
    STitle->setText(text);
}

void PlayerWindow::SetBannerScrolling(bool on) {
    STitle->setBanner(on);
}

bool PlayerWindow::Paused() const {
    return engine_.Paused();
}

int PlayerWindow::CurrentIndex() const {
    return engine_.CurrentIndex();
}

void PlayerWindow::SetCurrentIndex(int row) {
    engine_.SetCurrentIndex(row);
}

DWORD PlayerWindow::Channel() const {
    return engine_.CurrentChannel();
}

bool PlayerWindow::RadioInUse() const {
    return engine_.RadioInUse();
}

QString PlayerWindow::RowCaption(int row) const {
    return engine_.Caption(row);
}

void PlayerWindow::EngineStateChanged(mirvane::PlaybackEngine::Status status, bool positionMoves) {
    using Status = mirvane::PlaybackEngine::Status;
    Pause1->setChecked(engine_.Paused());
    switch (status) {
    case Status::Stopped:
        SetStatusPicture(StatusStopped);
        KillTimer(kVisualTimer);
        KillTimer(kPositionTimer);
        if (skin_.visual == QLatin1String("Spectrum")) {
            spectrumFall_.start();
        }
        break;
    case Status::Playing:
        spectrumFall_.stop();
        SetStatusPicture(StatusPlaying);
        if (!TimerActive(kVisualTimer)) {
            SetTimer(kVisualTimer, 33);
        }
        if (!positionMoves) {
            KillTimer(kPositionTimer);
        } else if (!TimerActive(kPositionTimer)) {
            SetTimer(kPositionTimer, 90);
        }
        break;
    case Status::Paused:
        // The timers go on as they were; the paused channel gives no more data, so the
        // analyser's bars fall by themselves.
        SetStatusPicture(StatusPaused);
        break;
    }
}

// ---- Commands -------------------------------------------------------------------------------

void PlayerWindow::PlaybtnClick() {
    engine_.Play();
}

void PlayerWindow::StopbtnClick() {
    engine_.Stop();
}

void PlayerWindow::PsbtnClick() {
    engine_.Pause();
}

void PlayerWindow::NextbtnClick() {
    engine_.Next();
}

void PlayerWindow::PrevbtnClick() {
    engine_.Previous();
}

void PlayerWindow::NextEntry() {
    engine_.NextEntry();
}

void PlayerWindow::PreviousEntry() {
    engine_.PreviousEntry();
}

void PlayerWindow::PlbuttonClick() {
    PlaylistWindow *list = program_.playlist;
    if (!list) {
        return;
    }
    if (unfold_ && unfold_->state() == QAbstractAnimation::Running) {
        // A click while it unfolds (or folds) turns it round from where it is.
        const bool forward = unfold_->direction() == QAbstractAnimation::Forward;
        unfold_->setDirection(forward ? QAbstractAnimation::Backward : QAbstractAnimation::Forward);
        return;
    }
    if (list->isVisible()) {
        list->hide();
        return;
    }
    if (!playlistPlaced_) {
        // The first time, the list opens just below the player.
        playlistPlaced_ = true;
        list->move(frameGeometry().left(), frameGeometry().bottom() + 1);
    }
    // Below a player near the bottom edge the list's buttons would be out of reach.
    mirvane::KeepOnScreen(list);
    if (!unfold_) {
        unfold_ = new QPropertyAnimation(list, "geometry", this);
        unfold_->setDuration(400);
        connect(unfold_, &QAbstractAnimation::finished, this, [this, list] {
            if (unfold_->direction() == QAbstractAnimation::Backward) {
                // Folded away: hidden, and whole again for the next time it shows.
                list->hide();
                list->setGeometry(unfold_->endValue().toRect());
            }
        });
    }
    // Unfold from the centre line outwards in 400 ms.
    const QRect full = list->geometry();
    list->show();
    unfold_->setDirection(QAbstractAnimation::Forward);
    unfold_->setStartValue(QRect(full.center().x(), full.y(), 1, full.height()));
    unfold_->setEndValue(full);
    unfold_->start();
}

// ---- Sliders --------------------------------------------------------------------------------

void PlayerWindow::SliderPosChange() {
    const DWORD ch = Channel();
    const QWORD position = BASS_ChannelGetPosition(ch);
    const float p = BASS_ChannelBytes2Seconds(ch, position);
    Label1->setText(MinutesSeconds(p));
    const float length = BASS_ChannelBytes2Seconds(ch, BASS_StreamGetLength(ch));
    // Without a channel there is no position and no end to count down to.
    if (!(length > 0.0f) || !(p >= 0.0f)) {
        return;
    }
    const int remaining = mirvane::RoundHalfEven(length - p);
    if (engine_.SelectedRow() + 1 != engine_.RowCount() && remaining < 6) {
        SetBannerScrolling(false);
        SetBannerText("Next in " + QString::number(remaining));
    }
}

void PlayerWindow::SliderPosStartTracking() {
    if (RadioInUse() || BASS_ChannelIsActive(Channel()) != BASS_ACTIVE_PLAYING) {
        return;
    }
    PositionTracking = true;
    SetBannerScrolling(false);
    SetBannerText("Position change");
}

void PlayerWindow::SliderPosStopTracking() {
    const bool seek = !RadioInUse() && BASS_ChannelIsActive(Channel()) == BASS_ACTIVE_PLAYING;
    // Cleared at every end of a drag: a track that ended during the drag must not leave the
    // slider deaf to the tracks after it.
    PositionTracking = false;
    if (!seek) {
        return;
    }
    const DWORD ch = Channel();
    BASS_ChannelSetPosition(ch,
                            BASS_ChannelSeconds2Bytes(ch, static_cast<float>(SliderPos->Value())));
    SetBannerScrolling(true);
    SetBannerText(RowCaption(CurrentIndex()));
}

void PlayerWindow::SliderBalChange() {
    const int n = SliderBal->Value();
    SliderBal->setToolTip("Balance: " + QString::number(n));
    BASS_ChannelSetAttributes(Channel(), -1, -1, n);
    SetBannerScrolling(false);
    SetBannerText("Balance " + QString::number(n));
}

void PlayerWindow::SliderBalStartTracking() {
    SetBannerScrolling(false);
    SetBannerText("Balance " + QString::number(SliderBal->Value()));
}

void PlayerWindow::SliderBalStopTracking() {
    EndOfVolumeOrBalanceDrag(kBalanceLine);
}

void PlayerWindow::SliderVolChange() {
    const int n = SliderVol->Value();
    engine_.SetVolume(n);
    SliderVol->setToolTip("Volume: " + QString::number(n));
    mirvane::settings::WriteInteger("Volume", n);
    SetBannerScrolling(false);
    SetBannerText("Volume " + QString::number(n));
}

void PlayerWindow::SliderVolStartTracking() {
    SetBannerScrolling(false);
    SetBannerText("Volume " + QString::number(SliderVol->Value()));
}

void PlayerWindow::SliderVolStopTracking() {
    EndOfVolumeOrBalanceDrag(kVolumeLine);
}

void PlayerWindow::EndOfVolumeOrBalanceDrag(const QString &fixedLine) {
    SetBannerText(fixedLine);
    SetBannerScrolling(true);
    if (program_.radio && !program_.radio->Label3->text().isEmpty()) {
        SetBannerText(program_.radio->Label3->text());
    }
    if (program_.playlist && program_.playlist->RowCount() > 0) {
        SetBannerText(RowCaption(CurrentIndex()));
    }
}

// ---- Menu items -----------------------------------------------------------------------------

void PlayerWindow::StayOnTopClick() {
    const bool on = StayOnTop1->isChecked();
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown) {
        show(); // changing the flags hides the window
    }
    mirvane::settings::WriteBool("OnTop", on);
}

void PlayerWindow::ShowPlayerClick() {
    // A hidden player comes back only through the tray icon's menu: without the icon it stays.
    if (!ShowPlayer1->isChecked() && !trayIconShown_) {
        ShowPlayer1->setChecked(true);
        return;
    }
    setVisible(ShowPlayer1->isChecked());
}

void PlayerWindow::SetTrayIconShown(bool shown) {
    trayIconShown_ = shown;
    ShowPlayer1->setEnabled(shown);
    if (!shown && !closed_ && !ShowPlayer1->isChecked()) {
        ShowPlayer1->setChecked(true);
        show();
    }
}

void PlayerWindow::RepeatClick() {}

void PlayerWindow::ShowEQClick() {
    if (program_.equalizer) {
        mirvane::KeepOnScreen(program_.equalizer);
        program_.equalizer->show();
        program_.equalizer->raise();
    }
}

void PlayerWindow::InternetRadioClick() {
    if (program_.radio) {
        mirvane::KeepOnScreen(program_.radio);
        program_.radio->show();
        program_.radio->raise();
    }
}

void PlayerWindow::ConfigurationClick() {
    if (program_.config) {
        mirvane::KeepOnScreen(program_.config);
        program_.config->show();
        program_.config->raise();
    }
}

void PlayerWindow::AboutClick() {
    if (program_.config) {
        mirvane::KeepOnScreen(program_.config);
        program_.config->ShowNode(0);
    }
}

void PlayerWindow::SoniqueClick() {
    if (program_.config) {
        mirvane::KeepOnScreen(program_.config);
        program_.config->ShowNode(5);
    }
}

void PlayerWindow::ID3TagClick() {
    TagEditor *editor = program_.tagEditor;
    if (!editor) {
        return;
    }
    // The editor opens on the track being played or paused, so Save writes into the file the
    // user hears; a station or a stream address has no file to edit.
    const bool playing = engine_.State() != mirvane::PlaybackEngine::Status::Stopped;
    const QString file = playing && !RadioInUse() ? engine_.FileName(CurrentIndex()) : QString();
    const bool local = !file.isEmpty() && !file.contains(QLatin1String("://"));
    // Opened again on the file it already shows: what the user is typing stays.
    if (local && !(editor->isVisible() && editor->Tag.FileName == TagFileName(file))) {
        editor->LoadFile(file);
    }
    mirvane::KeepOnScreen(editor);
    editor->show();
    editor->raise();
}

void PlayerWindow::ExitClick() {
    if (program_.config) {
        program_.config->RemoveTrayIcon();
    }
    if (program_.playlist) {
        program_.playlist->close();
    }
    close();
}

void PlayerWindow::WM_CALLBACKPRO(int lParam) {
    if (lParam == 0x204) { // right button down
        JvPopupMenu1->popup(QCursor::pos());
    }
}

// ---- Window ---------------------------------------------------------------------------------

void PlayerWindow::MoveForm() {
    BeginMove(QCursor::pos());
}

void PlayerWindow::BeginMove(QPointF globalPress) {
    moving_ = true;
    if (mirvane::StartWindowMove(this, globalPress) == mirvane::WindowMove::None) {
        // No move here: store the place as it is.
        storePosition_.start(0);
    }
}

void PlayerWindow::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) {
        BeginMove(event->globalPosition());
    }
    QWidget::mousePressEvent(event);
}

bool PlayerWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Image1 && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        BeginMove(static_cast<QMouseEvent *>(event)->globalPosition());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PlayerWindow::moveEvent(QMoveEvent *event) {
    QWidget::moveEvent(event);
    if (moving_) {
        storePosition_.start(300); // once the window has come to rest
    }
}

void PlayerWindow::closeEvent(QCloseEvent *event) {
    if (!closed_) {
        closed_ = true;
        FormClose();
    }
    event->accept();
    QCoreApplication::quit();
}

void PlayerWindow::FormClose() {
    KillTimer(kPositionTimer);
    KillTimer(kVisualTimer);
    if (program_.playlist) {
        program_.playlist->SaveAutomaticPlaylist(this);
    }
    QApplication::restoreOverrideCursor();
    // Releasing the library ends the playback.
    BASS_Free();
}
