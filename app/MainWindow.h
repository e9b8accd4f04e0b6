#pragma once
// The main window: menu bar from the core's command table, the graph area
// (graph, scroll bars, channel and view buttons) filling the window, and the
// status line.
// Everything it does goes through the core's shell; the window only shows.
#include <QLabel>
#include <QMainWindow>
#include <QVBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <memory>
#include <vector>

#include "QtPollTimer.h"
#include "QtUserInterface.h"
#include "files/CopySlots.h"
#include "shell/AppState.h"
#include "shell/DialogPresenter.h"
#include "shell/Shell.h"
#include "shell/Startup.h"

namespace tmv::qt {

class StatusLine;
class GraphWidget;
class GraphArea;

struct WindowLayout {
  int usableWidth = 0;  // the screen width capped at 1000
  int graphWidth = 0;   // ((usable - 163) div 50) * 50 + 3
  double dpiScale = 1.0;
};
WindowLayout LayoutForScreen(int screenWidth, double logicalDpiX);

class MainWindow : public QMainWindow {
 public:
  // The serial ports and the clock come from outside so that tests can put
  // an emulated logger and a virtual clock behind the window.
  MainWindow(SerialSystem& serial, Clock& clock, StartupOptions options, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The start-up steps before showing; false when this copy must end.
  bool Start();
  // The steps once shown: "Ready", recent files, the tick, the command-line file.
  void AfterShow();
  // Issues the connect command once the event loop runs.
  void ConnectSoon();

  Shell& shell() { return shell_; }
  AppState& state() { return state_; }
  QtUserInterface& ui() { return ui_; }
  DialogPresenter& dialogs() { return dialogs_; }
  StatusLine* statusLine() const { return status_; }
  // The plot's own rectangle, which takes the mouse over the traces.
  QWidget* graphArea() const { return graph_; }
  QScrollBar* horizontalBar() const { return hBar_; }
  QScrollBar* verticalBar() const { return vBar_; }
  const std::vector<QPushButton*>& channelButtons() const { return channelButtons_; }
  const WindowLayout& layoutInfo() const { return layout_; }
  // Shows or hides what only makes sense with data: channel and view buttons.
  void SetDataControlsVisible(bool visible);
  // After the view or the data changed: scroll bars, buttons, plot and labels.
  void RefreshGraph();
  void ShowWavesAtCursor();
  GraphWidget* graphWidget() const { return graphWidget_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  // A HEX or DAT file dropped on the window is opened as "Open a data file" opens it.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWindow();
  void RegisterFaces();
  // The empty graph names the next steps until there is data to show.
  void BuildFirstSteps();
  void ShowFirstSteps();
  // The manual (F1) in a window of its own, made when first asked for.
  void ShowManualWindow();
  // Size, position and where the docked panels are, between runs.
  void RestoreWindowState();
  void SaveWindowState();
  // Ends the open modeless panel (download, live readings, micro-salinometer)
  // the way its own "Close" does.
  void CloseModelessPanels();

  StartupOptions options_;
  QtUserInterface ui_;
  AppState state_;
  DialogPresenter dialogs_;
  int waveCursorShown_ = -1;  // the row the wave window last showed
  CopySlots copySlots_;
  Shell shell_;
  std::unique_ptr<QtPollTimer> timer_;
  WindowLayout layout_;
  bool inCloseEvent_ = false;

  StatusLine* status_ = nullptr;
  QWidget* graph_ = nullptr;
  GraphWidget* graphWidget_ = nullptr;
  GraphArea* graphArea_ = nullptr;  // the central area: the graph and its buttons
  QWidget* central_ = nullptr;
  QDialog* statistics_ = nullptr;
  QDialog* microSal_ = nullptr;  // the micro-salinometer panel's window, hidden until its command
  QLabel* firstSteps_ = nullptr;  // over the empty graph
  QDialog* manual_ = nullptr;
  bool refreshing_ = false;
  void ShowStatisticsFace();
  void BuildCalibrationGroup(QVBoxLayout* layout);
  void ShowCalibrationGroup();
  QScrollBar* hBar_ = nullptr;
  QScrollBar* vBar_ = nullptr;
  std::vector<QPushButton*> channelButtons_;
};

}  // namespace tmv::qt
