#pragma once
// RadioWindow ("form3"), the internet radio window: the station list read from iradio.ini in
// the program directory (the user's data folder when installed), Add and Remove (both written
// back to that file at once), a double click that connects, and the labels that show the
// connection's status, the station's name and bit rate and the current song title. GUI thread
// only.
//
// How it meets the playback engine (the engine owns the channel that plays now):
// - streamStarted(channel): a connection produced a playing stream. Delivered on the GUI
//   thread, only for the latest request (a connection overtaken by Stop, another station or
//   the window's end is freed instead). The engine adopts it as its current channel, frees the
//   one before, attaches the equalizer and starts the spectrum timer. From then on the engine
//   frees it like any channel; the window never frees a stream it handed over.
// - titleChanged(title): the song title changed; the player's banner shows it followed by one
//   blank, scrolling. Also sent with the stream's first title.
// - stopped(): a connection failed, or the station that played went away for good ("Not
//   playing"): nothing of the radio plays; the engine stops and frees its current channel, as
//   a connection replaces what played.
// - EngineStopped(): the engine calls it when it stops playback (Stop, or a file started): the
//   status, title, name and bit rate labels are emptied and a connection still in progress is
//   abandoned (its stream, should it come, is freed). Returns at once.
// - RadioInUse(): the status text is not empty (the radio connects or plays).
// Until the engine is wired, the window can be driven alone: tests connect to streamStarted.

#include <QWidget>

#include "bass.h"

class QLabel;
class QLineEdit;
class QComboBox;
class QPushButton;
class QTreeWidget;
class QFrame;

namespace mirvane::radio {
class RadioConnection;
struct StationHeaders;
} // namespace mirvane::radio

class RadioWindow : public QWidget {
    Q_OBJECT
  public:
    explicit RadioWindow(QWidget *parent = nullptr);
    ~RadioWindow() override;

    bool RadioInUse() const;

    QLabel *Label1 = nullptr;     // "Internet radio"
    QLabel *Label2 = nullptr;     // "X": hides the window
    QFrame *Bevel1 = nullptr;     // frames the status block
    QLabel *Label4 = nullptr;     // "Status:"
    QLabel *Statuslbl = nullptr;  // connection status; non-empty: the radio is in use
    QLabel *Label6 = nullptr;     // "Channel:"
    QLabel *Channellbl = nullptr; // station name from the server
    QLabel *Label8 = nullptr;     // "Title:"
    QLabel *Label3 = nullptr;     // title of the song the station plays
    QLabel *Label7 = nullptr;     // "Bitrate:"
    QLabel *Label5 = nullptr;     // bit rate from the server
    QLabel *Label10 = nullptr;    // "Total channels:"
    QLabel *nrchans = nullptr;    // number of stations; empty until there is one
    QTreeWidget *chanlist = nullptr;
    QPushButton *JvXPButton1 = nullptr; // "Add"
    QPushButton *JvXPButton2 = nullptr; // "Remove"
    QLabel *Label9 = nullptr;           // "Adress to add"
    QLineEdit *caddr = nullptr;         // address to add
    QComboBox *tchans = nullptr;        // section names while the file is read; never shown

  signals:
    void streamStarted(DWORD channel);
    void titleChanged(const QString &title);
    void stopped();

  public slots:
    void FormCreate();       // reads iradio.ini and fills the list
    void JvXPButton1Click(); // Add
    void JvXPButton2Click(); // Remove
    void chanlistDblClick(); // connects to the selected station
    void Label2Click();      // hides the window; a stream that plays keeps playing
    void EngineStopped();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

  private:
    void onStatus(const QString &text);
    void onStarted(DWORD channel, const mirvane::radio::StationHeaders &headers,
                   const QByteArray &meta, bool hasMeta);
    void onMeta(const QByteArray &meta);
    void onFailed(int error);
    void onEnded();
    void addRow(const QString &name, const QString &bitrate, const QString &url);
    void saveStations();

    mirvane::radio::RadioConnection *connection_ = nullptr;
};
