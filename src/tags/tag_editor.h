#pragma once
// The tag editor window "ID3 Information": seven labelled boxes, Load and Save.
// Its boxes change only by Load, by the user's typing and after Save.
//
// GUI thread only. Created hidden at start-up; closing it only hides it. Texts shown come from
// tags and are Latin-1; they are shown as plain text, up to the first NUL.

#include "tags/id3v2.h"

struct SongInfo;

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

class TagEditor : public QWidget {
    Q_OBJECT
  public:
    explicit TagEditor(QWidget *parent = nullptr);

    // Controls; each objectName is the member's name.
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7;
    QLineEdit *Artist, *Title, *Album, *Year, *Genre, *Comment, *Track;
    QLabel *Filename; // always empty
    QPushButton *LoadButton, *savebutton;
    QLabel *CloseLabel; // the window is frameless: this red "X" hides it

    // The editor's own tag object, used by Load and Save; lives as long as the window.
    Id3v2Tag Tag;

    // Empties the seven boxes.
    void ClearBoxes();
    // Shows the fields in the seven boxes.
    void ShowSongInfo(const SongInfo &info);

  public slots:
    // Empties the boxes, asks for a file (no filter, no title) and shows its tag.
    void LoadButtonClick();
    // Writes the boxes into the file last loaded; "Error #%d! Could not save Tag!" on failure.
    void SaveButtonClick();

  protected:
    void mousePressEvent(class QMouseEvent *event) override;
    void keyPressEvent(class QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
