#pragma once
// RadioWindow, the internet radio window. For now it carries only what the playback engine reads
// and clears: the status text (non-empty while a radio stream connects or plays), the title,
// the station name and the bit rate. GUI thread only.

#include <QWidget>

class QLabel;

class RadioWindow : public QWidget {
    Q_OBJECT
  public:
    explicit RadioWindow(QWidget *parent = nullptr);

    QLabel *Statuslbl = nullptr;  // connection status; non-empty: the radio is in use
    QLabel *Label3 = nullptr;     // title of the song the station plays
    QLabel *Channellbl = nullptr; // station name
    QLabel *Label5 = nullptr;     // bit rate

    // A radio stream connects or plays: the status text is not empty.
    bool RadioInUse() const;

  public slots:
    void CloseClick();
    // Playback stopped: the status, title, station and bit rate are emptied.
    void EngineStopped();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};
