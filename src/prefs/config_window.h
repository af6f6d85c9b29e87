#pragma once
// ConfigWindow, the configuration window. For now a frameless window with its caption and its
// close label; the player window's menu shows it and names the page to select. GUI thread
// only.

#include <QWidget>

class ConfigWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ConfigWindow(QWidget *parent = nullptr);

    // Shows the window with tree node `node` (counted from 0 in tree order) selected.
    Q_INVOKABLE void ShowNode(int node);
    int SelectedNode() const { return selectedNode_; }
    // Removes the tray icon, when there is one (the exit sequence's first step).
    Q_INVOKABLE void RemoveTrayIcon() {}

  public slots:
    void Label7Click();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

  private:
    int selectedNode_ = 0;
};
