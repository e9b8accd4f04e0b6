#pragma once
// The program's whole state in one object, passed explicitly, so that tests
// build as many independent instances as they like.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analysis/DerivedState.h"
#include "analysis/Statistics.h"
#include "deployment/DeploymentSettings.h"
#include "files/Settings.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/CalibrationSet.h"
#include "model/LoggerInfo.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "platform/UserInterface.h"
#include "presentation/GraphView.h"
#include "retrieval/Gps.h"
#include "retrieval/RealTime.h"
#include "retrieval/RetrievalState.h"

namespace tmv {

// What a live-readings or real-time window shows while a fetch runs.
struct FetchWindow {
  bool employAveraging = false;  // the "Employ averaging:" box
  std::string text;              // the dialog's text field
  int progressMax = 0;
  int progressPosition = 0;
};

struct ShellState {
  bool simulation = false;
  bool dataRetrieved = false;
  bool dataSaved = false;
  int readingCount = 0;
  bool downloading = false;
  bool realTimeActive = false;
  int language = 0;  // 0 English, 1 the second language
  bool allowMultipleCopies = false;
  int copyNumber = 0;  // 1 for the first running copy, up to 8; 0 before the copy check
  std::vector<std::string> recentFiles;
  std::string commandLineFile;
  bool showRangeChanges = false;
  bool factoryMode = false;
  std::string factoryScript;
  std::string windowTitle;        // the main window's title, copy prefix included
  int menuState = 1;              // last SetMenuState
  int64_t clockShownSecond = -1;  // calendar second the clock part last showed
  bool exiting = false;           // ExitProgram went through; the message loop ends
};

// Actions the link and model layers ask of the program around them.
struct ShellHooks {
  // Runs the save-data command for retrieved data; returns 1 when saved.
  std::function<int()> saveRetrievedData;
  // Hides the channel buttons and graphs of the previous logger.
  std::function<void()> hideDataWindows;
};

struct AppState {
  AppState(SerialSystem& serialSystem, Clock& clockSource, UserInterface& userInterface)
      : serial(serialSystem), clock(clockSource), ui(userInterface) {}
  AppState(const AppState&) = delete;
  AppState& operator=(const AppState&) = delete;

  SerialSystem& serial;
  Clock& clock;
  UserInterface& ui;

  PortSettings ports;
  LoggerLink loggerLink;
  LoggerLink gpsLink;
  GpsState gps;  // the GPS buffer and the latest position
  int linkActivity = 0;  // set to 10 by every write, counted down each second

  ReplyBuffer reply;
  QueryState query;
  FetchWindow fetchWindow;

  LoggerInfo logger;
  CalibrationSet calibration;
  DeploymentSettings deployment;
  BatchCopy batch;  // the deployment last programmed into a logger

  Settings settings;
  WorkDirectories directories;
  ShellState shell;
  ShellHooks hooks;

  // The status line's message part as last shown.
  std::string statusText;

  // The memory image, the download, the current DataSet (buffers allocated when first needed).
  RetrievalState retrieval;
  // Real-time collection from a logging logger.
  RealTimeState realTime;

  // The graph of the current DataSet and the statistics panel beside it.
  GraphState graph;
  StatisticsPanelState statistics;
  AnalysisState analysis{*this};  // real-time limits, pending KZM action; hooks derived columns into decoding
};

}  // namespace tmv
