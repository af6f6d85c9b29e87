#pragma once
// Every message box and every question a dialog asks goes through this one place, so that a
// test can record messages and answer questions instead of a person.
//
// GUI thread only. With no handler installed the real Qt dialogs are shown.

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class QWidget;

namespace mirvane {

enum class MsgIcon { None, Information, Warning, Error };

struct Message {
    QString text;
    QString caption;
    MsgIcon icon = MsgIcon::None;
    QWidget *owner = nullptr; // nullptr: no owner window
    bool foreground = false;  // raise above other programs' windows
};

// A file question: filters are "Caption (*.a *.b)" entries in order; defaultSuffix without dot.
struct FileQuestion {
    QString title;
    QStringList filters;
    QString defaultSuffix;
    bool confirmOverwrite = false; // save dialogs only
    QString directory;
};

// Shows a modal message box with one OK button.
void ShowMessage(const Message &message);
inline void ShowMessage(QWidget *owner, const QString &text, const QString &caption, MsgIcon icon,
                        bool foreground = false) {
    ShowMessage(Message{text, caption, icon, owner, foreground});
}

// Each returns the chosen absolute path, or an empty string when the user cancelled.
QString AskOpenFileName(QWidget *owner, const FileQuestion &question);
QString AskSaveFileName(QWidget *owner, const FileQuestion &question);
QString AskDirectory(QWidget *owner, const QString &title, const QString &start = {});
// The chosen colour, or nothing when cancelled.
std::optional<QColor> AskColor(QWidget *owner, const QColor &initial);

// The seam. A handler installed here replaces every dialog until it is removed.
class DialogHandler {
  public:
    virtual ~DialogHandler() = default;
    virtual void message(const Message &message) = 0;
    virtual QString openFileName(QWidget *owner, const FileQuestion &question) = 0;
    virtual QString saveFileName(QWidget *owner, const FileQuestion &question) = 0;
    virtual QString directory(QWidget *owner, const QString &title) = 0;
    virtual std::optional<QColor> color(QWidget *owner, const QColor &initial) = 0;
};
void SetDialogHandler(DialogHandler *handler); // nullptr restores the real dialogs

// Records every message and every question; answers questions from queues filled in advance
// (an empty queue answers "cancelled"). Installs itself for its lifetime.
class RecordingDialogs final : public DialogHandler {
  public:
    RecordingDialogs();
    ~RecordingDialogs() override;
    RecordingDialogs(const RecordingDialogs &) = delete;
    RecordingDialogs &operator=(const RecordingDialogs &) = delete;

    std::vector<Message> messages;
    std::vector<FileQuestion> questions;
    QStringList fileAnswers; // for open and save questions, in order
    QStringList directoryAnswers;
    std::vector<std::optional<QColor>> colorAnswers;

    void message(const Message &message) override;
    QString openFileName(QWidget *owner, const FileQuestion &question) override;
    QString saveFileName(QWidget *owner, const FileQuestion &question) override;
    QString directory(QWidget *owner, const QString &title) override;
    std::optional<QColor> color(QWidget *owner, const QColor &initial) override;

  private:
    DialogHandler *previous_;
};

} // namespace mirvane
