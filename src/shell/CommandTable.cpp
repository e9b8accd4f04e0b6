#include "shell/CommandTable.h"

#include "shell/Catalogue.h"
#include "shell/CommandIds.h"
#include "model/KnowLogger.h"

namespace tmv {
namespace {

MenuEntry Menu(int number, int parent, const char* text, char key) {
  MenuEntry e;
  e.number = number;
  e.parent = parent;
  e.text = text;
  e.accessKey = key;
  e.isMenu = true;
  e.built = true;
  return e;
}

MenuEntry Item(int number, int parent, const char* text, char key, bool built, bool separatorBefore = false) {
  MenuEntry e;
  e.number = number;
  e.parent = parent;
  e.text = text;
  e.accessKey = key;
  e.built = built;
  e.separatorBefore = separatorBefore;
  return e;
}

// The keys desktop programs use for these habits.
MenuEntry WithShortcut(MenuEntry e, const char* shortcut) {
  e.shortcut = shortcut;
  return e;
}

std::vector<MenuEntry> BuildTable() {
  using namespace cmd;
  constexpr bool kBuilt = true;
  constexpr bool kNotYet = false;
  return {
      Menu(kMenuFile, kMenuBar, "&File", 'F'),
      Menu(kMenuRecentFiles, kMenuFile, "&Read a recent file", 'R'),
      WithShortcut(Item(kOpenDataFile, kMenuFile, "&Open a data file...", 'O', kBuilt), "Ctrl+O"),
      Item(kReadDatFile, kMenuFile, "Read a &DAT file", 'D', kBuilt),
      Item(kReadHexFile, kMenuFile, "Read a &HEX file", 'H', kBuilt),
      WithShortcut(Item(kSaveFile, kMenuFile, "&Save file", 'S', kBuilt, true), "Ctrl+S"),
      Item(kSaveFormat, kMenuFile, "&Format for the save file", 'F', kBuilt),
      Item(kSaveScreenSegment, kMenuFile, "Save screen se&gment to file", 'g', kBuilt),
      Item(kScreenCapture, kMenuFile, "Scree&n capture", 'n', kBuilt),
      Item(kSaveKzmCsv, kMenuFile, "Save a KZM &csv file", 'c', kBuilt),
      WithShortcut(Item(kExportData, kMenuFile, "&Export...", 'E', kBuilt), "Ctrl+E"),
      Item(kExit, kMenuFile, "E&xit", 'x', kBuilt, true),

      Item(kSetup, kMenuBar, "&Setup", 'S', kBuilt),
      Item(kRetrieveData, kMenuBar, "&Retrieve data", 'R', kBuilt),

      Menu(kMenuLoggerFunctions, kMenuBar, "&Logger functions", 'L'),
      Item(kConnect, kMenuLoggerFunctions, "&Connect to logger", 'C', kBuilt),
      Item(kDisconnect, kMenuLoggerFunctions, "Disconnect serial line", 0, kBuilt),
      Item(kFetchLiveReadings, kMenuLoggerFunctions, "&Fetch live readings", 'F', kBuilt, true),
      Item(kRestartRealTimeDisplay, kMenuLoggerFunctions, "Restart real-time &display", 'd', kBuilt),
      Item(kGpsTest, kMenuLoggerFunctions, "&GPS test", 'G', kBuilt),
      Item(kSetDefaultBaud, kMenuLoggerFunctions, "&Set default baud rate", 'S', kBuilt, true),
      Item(kEngineeringUnits, kMenuLoggerFunctions, "&Engineering units", 'E', kBuilt),
      Item(kSamplingLed, kMenuLoggerFunctions, "Sampling &LED control", 'L', kBuilt),
      Item(kSetLatency, kMenuLoggerFunctions, "Set la&tency", 't', kBuilt),
      Item(kSetModem, kMenuLoggerFunctions, "Set modem", 0, kNotYet),
      Item(kCurrentCapabilities, kMenuLoggerFunctions, "C&urrent Capabilities", 'u', kBuilt),
      Item(kMetaTable, kMenuLoggerFunctions, "&View/Load a meta table", 'V', kNotYet, true),
      Item(kMmcSdMemory, kMenuLoggerFunctions, "&MMC/SD memory", 'M', kBuilt),
      Item(kRunConfigurationScript, kMenuLoggerFunctions, "&Run configuration script", 'R', kNotYet),

      Menu(kMenuCalibration, kMenuBar, "&Calibration functions", 'C'),
      Item(kCalibration, kMenuCalibration, "View/Enter &calibration coefficients", 'c', kBuilt),
      Item(kCalibrationHistory, kMenuCalibration, "Calibration &History", 'H', kBuilt),
      Item(kStatistics, kMenuCalibration, "&View statistics/On-line calibration", 'V', kBuilt),

      Item(kMicroSalinometer, kMenuBar, "&Micro-Salinometer", 'M', kBuilt),

      Menu(kMenuAnalysis, kMenuBar, "&Analysis", 'A'),
      Item(kTideAnalysis, kMenuAnalysis, "&Tide analysis", 'T', kBuilt),

      Menu(kMenuConfiguration, kMenuBar, "C&onfiguration", 'o'),
      Item(kComSettings, kMenuConfiguration, "&COM settings", 'C', kBuilt),
      Item(kDerivedUnits, kMenuConfiguration, "&Derived units", 'D', kBuilt),
      Item(kRealTimeLimits, kMenuConfiguration, "&Real-time Limits", 'R', kBuilt),
      Item(kLanguage, kMenuConfiguration, "&Language resources", 'L', kBuilt, true),
      Item(kAllowMultipleCopies, kMenuConfiguration, "&Allow multiple copies", 'A', kBuilt),
      Item(kShowRangeChanges, kMenuConfiguration, "&Show range changes", 'S', kBuilt),

      WithShortcut(Item(kManual, kMenuBar, "&Help", 'H', kBuilt), "F1"),
      // "Modem slee&p" (40044) is inserted before "A&bout" only after a
      // connection to a logger that reports modem control at level 1.
      Item(kAbout, kMenuBar, "A&bout", 'b', kBuilt),
  };
}

CommandRule Needs(int number, unsigned knows) {
  CommandRule r;
  r.number = number;
  r.needsLogger = true;
  r.knows = knows;
  return r;
}

CommandRule RefusedWhileLogging(CommandRule r, const char* operation, const char* title) {
  r.loggingOperation = operation;
  r.loggingTitle = title;
  return r;
}

CommandRule RefusedOnLargeLogger(CommandRule r, const char* text, const char* title) {
  r.largeLoggerText = text;
  r.largeLoggerTitle = title;
  return r;
}

std::vector<CommandRule> BuildRules() {
  using namespace cmd;
  std::vector<CommandRule> rules;
  rules.push_back(Needs(kConnect, 0));
  rules.push_back(Needs(kShowLoggerStatus, kKnowStatus));
  rules.push_back(Needs(kShowLoggerClock, 0));
  rules.push_back(Needs(kShowConfiguration, kKnowConfiguration));
  rules.push_back(Needs(kCurrentCapabilities, kKnowConfiguration));
  rules.push_back(Needs(kSamplingLed, kKnowStartCharacteristic));
  rules.push_back(RefusedWhileLogging(Needs(kSetLatency, kKnowCapabilities), "set the latency", "Set Latency"));

  CommandRule baud = RefusedWhileLogging(Needs(kSetDefaultBaud, 0), "set the default baudrate", "Set Default Baudrate");
  baud.capability = NeededCapability::MicrochipLogger;
  baud.incapableText = "The default baudrate for this type of logger cannot be set by this command.";
  baud.incapableTitle = "Default baudrate";
  rules.push_back(baud);

  CommandRule format = Needs(kEngineeringUnits, kKnowStartCharacteristic);
  format.loggingText =
      "This logger is active.\n\nThe communiation format cannot be switched between\nEngineering units and Binary "
      "format at this time";
  format.loggingTitle = "Communication format";
  rules.push_back(format);

  rules.push_back(RefusedOnLargeLogger(Needs(kCalibration, kKnowCalibration),
                                       "Unable to perform calibration while QN-760 logger is enabled", "Calibration"));
  rules.push_back(RefusedOnLargeLogger(Needs(kCalibrationHistory, kKnowCapabilities),
                                       "Unable to perform calibration history while QN-760 logger is enabled",
                                       "Calibration History"));

  CommandRule fetch = RefusedWhileLogging(
      // The reply parser needs the output format (the option byte).
      RefusedOnLargeLogger(Needs(kFetchLiveReadings, kKnowCalibration | kKnowStartCharacteristic),
                           "Unable to perform fetch while QN-760 logger is enabled", "Fetch Live Readings"),
      "fetch live readings", "Fetch");
  fetch.allowedWithLiveReadingFlag = true;
  rules.push_back(fetch);
  rules.push_back(RefusedWhileLogging(Needs(kMetaTable, kKnowCapabilities), "access the meta table",
                                      "Meta Table Access"));
  CommandRule card = RefusedWhileLogging(Needs(kMmcSdMemory, kKnowCapabilities | kKnowConfiguration),
                                         "access the MMC/SD card", "MMC/SD Card Access");
  card.capability = NeededCapability::MmcSdCard;
  card.incapableTitle = "MMC/SD Card Access";
  rules.push_back(card);
  rules.push_back(RefusedWhileLogging(Needs(kSetModem, kKnowCapabilities), "read the modem parameters", "Set modem"));
  // The panel reads the deployment (every retrieved row's time) where the logger tells it.
  rules.push_back(Needs(kRetrieveData, kKnowConfiguration | kKnowStatus));
  // The panel refuses a logging instrument with its own message.
  rules.push_back(Needs(kMicroSalinometer, kKnowCapabilities));
  // Not refused while logging: the Setup dialog itself offers "STOP logger".
  // The channels and coefficients serve the estimate and the threshold limits.
  rules.push_back(Needs(kSetup, kKnowCalibration | kKnowStatus));
  // The command-line tool's deployment operations. The Setup dialog decides
  // for itself what a logging logger allows, so only erasing and setting the
  // clock are refused here.
  rules.push_back(Needs(kShowDeployment, kKnowCalibration | kKnowStatus));
  rules.push_back(Needs(kProgramDeployment, kKnowCalibration | kKnowStatus));
  rules.push_back(Needs(kStopLogger, kKnowCapabilities | kKnowStatus));
  rules.push_back(Needs(kSuspendLogger, kKnowCapabilities | kKnowStatus));
  rules.push_back(Needs(kResumeLogger, kKnowCapabilities | kKnowStatus));
  rules.push_back(RefusedWhileLogging(Needs(kEraseLogger, kKnowCapabilities), "erase the memory", "Erase"));
  rules.push_back(RefusedWhileLogging(Needs(kSetLoggerClock, kKnowCapabilities), "set the clock", "Synchronize Clock"));
  // The command-line tool's data-file operations work without a logger.
  CommandRule convert;
  convert.number = kConvertDataFile;
  rules.push_back(convert);
  CommandRule info;
  info.number = kShowFileInfo;
  rules.push_back(info);
  // Export works on the data in hand, from a file or a retrieval.
  CommandRule exportData;
  exportData.number = kExportData;
  rules.push_back(exportData);
  CommandRule tideAnalysis;  // on the data in hand, like the export
  tideAnalysis.number = kTideAnalysis;
  rules.push_back(tideAnalysis);
  return rules;
}

}  // namespace

const std::vector<CommandRule>& CommandRules() {
  static const std::vector<CommandRule> rules = BuildRules();
  return rules;
}

const CommandRule* FindCommandRule(int number) {
  for (const auto& r : CommandRules())
    if (r.number == number) return &r;
  return nullptr;
}

const std::vector<MenuEntry>& MenuTable() {
  static const std::vector<MenuEntry> table = BuildTable();
  return table;
}

const MenuEntry* FindMenuEntry(int number) {
  for (const auto& e : MenuTable())
    if (e.number == number) return &e;
  return nullptr;
}

bool IsCommandBuilt(int number) {
  if (number >= cmd::kReadRecentFile && number < cmd::kReadRecentFile + 20) return true;
  const MenuEntry* e = FindMenuEntry(number);
  return e != nullptr && e->built;
}

std::vector<const MenuEntry*> MenuChildren(int parent) {
  std::vector<const MenuEntry*> out;
  for (const auto& e : MenuTable())
    if (e.parent == parent) out.push_back(&e);
  return out;
}

std::string RecentFileMenuText(int index, const std::string& path) {
  return Format("%2d - %s", index + 1, path.c_str());
}

}  // namespace tmv
