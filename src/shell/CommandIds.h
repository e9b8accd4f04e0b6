#pragma once
// Command numbers of the main menu and the program's internal commands.
namespace tmv::cmd {

constexpr int kAbout = 100;
constexpr int kRetrieveData = 110;
constexpr int kFetchLiveReadings = 111;
constexpr int kExit = 112;
constexpr int kReadDatFile = 113;
constexpr int kScreenCapture = 114;
constexpr int kSetup = 115;
constexpr int kSaveFile = 116;
constexpr int kSaveScreenSegment = 117;
constexpr int kCalibration = 118;
constexpr int kCalibrationHistory = 119;
constexpr int kSaveFormat = 120;
constexpr int kReadHexFile = 122;
constexpr int kDerivedUnits = 124;
constexpr int kGpsTest = 127;
constexpr int kSetDefaultBaud = 129;
constexpr int kStatistics = 131;
constexpr int kMicroSalinometer = 135;
constexpr int kComSettings = 259;
constexpr int kConnect = 262;
constexpr int kShowRangeChanges = 1165;
constexpr int kEndRealTime = 2135;
constexpr int kRealTimeLimits = 40020;
constexpr int kLanguage = 40028;
constexpr int kAllowMultipleCopies = 40035;
constexpr int kModemSleep = 40044;
constexpr int kSetLatency = 40046;
constexpr int kMmcSdMemory = 40056;
constexpr int kRestartRealTimeDisplay = 40057;
constexpr int kMetaTable = 40059;
constexpr int kEngineeringUnits = 40060;
constexpr int kRunConfigurationScript = 40061;
constexpr int kSamplingLed = 40064;
constexpr int kSaveKzmCsv = 40066;
constexpr int kSetModem = 40070;
// Not numbered by the menu resource; given numbers here so that they can be dispatched.
constexpr int kDisconnect = 40090;
constexpr int kCurrentCapabilities = 40091;
constexpr int kReadRecentFile = 40100;  // + index 0..19
// Logger operations of the command-line tool that the menu reaches only
// inside other commands; numbered so that they pass the same gate.
constexpr int kShowLoggerStatus = 40130;
constexpr int kShowLoggerClock = 40131;
constexpr int kShowConfiguration = 40132;
// The deployment operations of the command-line tool.
constexpr int kShowDeployment = 40133;
constexpr int kProgramDeployment = 40134;
constexpr int kStopLogger = 40135;
constexpr int kSuspendLogger = 40136;
constexpr int kResumeLogger = 40137;
constexpr int kEraseLogger = 40138;
constexpr int kSetLoggerClock = 40139;
// The data-file operations of the command-line tool (no logger needed).
constexpr int kConvertDataFile = 40140;
constexpr int kShowFileInfo = 40141;
// "&Export...": the current DataSet to netCDF-CF or CSV.
constexpr int kExportData = 40150;
// "&Tide analysis" of the analysis menu: harmonic analysis of the water level.
constexpr int kTideAnalysis = 40160;
// "&Open a data file...": a HEX or a DAT file, by its extension.
constexpr int kOpenDataFile = 40151;
// "&Help": the manual in a window of its own.
constexpr int kManual = 40152;

// The menus themselves, so that they can be greyed and enabled like commands.
constexpr int kMenuBar = 50000;
constexpr int kMenuFile = 50001;
constexpr int kMenuRecentFiles = 50002;  // "&Read a recent file"
constexpr int kMenuLoggerFunctions = 50003;
constexpr int kMenuCalibration = 50004;
constexpr int kMenuConfiguration = 50005;
constexpr int kMenuAnalysis = 50006;

}  // namespace tmv::cmd
