#pragma once
// The tag editor window "ID3 Information": seven labelled boxes, Load and Save.
// Its boxes change only by a load (Load button, LoadFile) and by the user's typing.
//
// GUI thread only. Created hidden at start-up; closing it only hides it. Texts are shown whole
// (any encoding of the tag) as plain text, up to the first NUL. Save writes only the fields the
// user changed since the load or the last successful save; every other frame goes back into
// the file as it stood.

#include "tags/id3v2.h"
#include "tags/title_lookup.h"

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
    QLabel *Filename;   // the file being edited (its name; the full path as tool tip)
    QLabel *StatusLine; // outcome of the last load or save, empty otherwise
    QPushButton *LoadButton, *savebutton;
    QLabel *CloseLabel; // the window is frameless: this red "X" hides it

    // The editor's own tag object, used by Load and Save; lives as long as the window.
    Id3v2Tag Tag;

    // Empties the seven boxes.
    void ClearBoxes();
    // Shows the fields in the seven boxes.
    void ShowSongInfo(const SongInfo &info);
    // What the boxes hold now.
    SongInfo BoxFields() const;

  public slots:
    // Asks for a file (no filter, no title) and loads it as LoadFile does; a cancelled
    // question changes nothing.
    void LoadButtonClick();
    // Loads fileName's tag into the boxes and names the file in Filename. A file without a
    // tag loads as an empty tag (Save adds one); a file that cannot be read, or whose tag is
    // corrupt or over the library's limits, empties the boxes and disables Save until a load
    // succeeds. Removes stale temporary files of an interrupted save of that file.
    void LoadFile(const QString &fileName);
    // Writes the fields the user changed into the file last loaded. Success: the boxes keep
    // what was saved and StatusLine says "Tag saved.". Failure: "Error #%d! Could not save
    // Tag!" with the status word, the boxes keep every field as typed, the file is unchanged.
    void SaveButtonClick();

  protected:
    void mousePressEvent(class QMouseEvent *event) override;
    void keyPressEvent(class QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    // The fields as they stand in the file (after a load or a successful save); a box whose
    // text differs from its field here is an edit.
    SongInfo fileFields_;
};
