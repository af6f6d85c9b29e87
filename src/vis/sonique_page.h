#pragma once
// SoniquePage, the "Sonique plugins" page of the configuration window: the plugin list
// ListPlugs, "Start", "Scan for plugins", "Stop" and the search path Edit1. It owns the file
// list of the last scan and the visualisation windows it opened. GUI thread only.

#include <QPointer>
#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace mirvane::vis {

class SoniqueWindow;

class SoniquePage : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QStringList SoniquePluginFiles READ SoniquePluginFiles)
  public:
    // programDir ends with '/': the search path starts as programDir + "vis/", and the
    // plugins' settings file is settingsFile, or programDir + "vis.ini" when that is empty.
    explicit SoniquePage(const QString &programDir, QWidget *parent = nullptr,
                         const QString &settingsFile = {});
    ~SoniquePage() override;

    QTreeWidget *ListPlugs = nullptr;
    QPushButton *button3 = nullptr;     // "Start"
    QPushButton *JvXPButton5 = nullptr; // "Scan for plugins"
    QPushButton *button4 = nullptr;     // "Stop"
    QLabel *Label1 = nullptr;           // "Search Path"
    QLineEdit *Edit1 = nullptr;         // the search path

    QStringList SoniquePluginFiles() const { return files_; }
    // The file of the row selected now, or "" when none is.
    QString SelectedFile() const;
    QString SettingsFile() const { return settingsFile_; }
    // The running (visible) window, or nullptr.
    SoniqueWindow *Window() const;

  public slots:
    void JvXPButton5Click(); // scan
    void button3Click();     // start
    void button4Click();     // stop

  private:
    QString settingsFile_;
    QStringList files_;              // entry i: the file of row i of ListPlugs
    QPointer<SoniqueWindow> window_; // the window of the last Start (hidden after Stop)
};

} // namespace mirvane::vis
