#pragma once
// Real-time collection: the records a logging logger sends for every sample
// are received on the shell's fast tick, appended to the DataSet for the
// graph and written to the real-time HEX file (a DAT file for an ASCII
// serial-card logger), with GPS positions in a ".gps" file when a GPS port
// is configured. Step functions; the shell applies tickPeriodMs to its timer.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/LoggerTime.h"
#include "platform/Outcome.h"
#include "retrieval/RealTimeRecords.h"

namespace tmv {

struct AppState;

// What a collection does when the logger's calibration cannot be read.
enum class CalibrationChoice {
  Ask,          // the desktop program: Yes/No, No the default
  Refuse,       // the command-line tool, unless told otherwise
  UseDefaults,  // the user chose the defaults beforehand
};

struct RealTimeState {
  bool active = false;     // mirrors shell.realTimeActive
  CalibrationChoice calibrationChoice = CalibrationChoice::Ask;
  // Why StartRealTime did not start, when it was not already said (the
  // deployment that heads the file was not all told): for the face to show.
  Outcome refusal;
  ReceiveBuffer buffer;
  RecordCounters counters;
  long long fileBytes = 0;  // bytes of the dump in the HEX file, header bytes included
  int readingsShown = 0;    // TIM rows appended to the DataSet
  int bursts = 0;           // BST/SEQ records taken
  int burstPosition = 0;    // next value of the current burst
  double burstMinimum = 0, burstMaximum = 0;  // of the bursts so far
  std::string filePath;     // chosen by ChooseRealTimeFiles
  std::string gpsPath;
  bool asciiCard = false;   // the DAT file of an ASCII serial-card logger
  bool engineering = false; // records in engineering units
  bool gpsOpen = false;
  bool gpsLost = false;     // the GPS port went away: positions stopped
  bool linkLost = false;    // the logger's port went away: the collection must end
  int channels = 0;         // measured channels per TIM record
  int tickPeriodMs = 1000;  // 100 or 150 while collecting
  std::string statusText;   // the last row shown
  std::string gpsPosition;  // the last position taken, " %.4f,%c,%.4f,%c"
  StampContinuity continuity;
  std::vector<RealTimeRecord> records;  // reused by every tick
  // Each row as it is appended (the command-line tool prints it).
  std::function<void(const std::string& row)> rowShown;
};

// The logger sends ASCII live data through a generic serial card.
bool IsAsciiSerialCardLogger(const AppState& state);

// Proposes "%06dRealtime.hex" (or ".dat") and lets the user confirm it; the
// GPS file name follows. 1 chosen, 0 cancelled.
int ChooseRealTimeFiles(AppState& state);

// Every reading of a collection is converted with the logger's calibration.
// A logger that is already transmitting disturbs the table reads, so while
// the coefficients in hand are defaults standing in for unreadable ones the
// read is tried again; if it still fails, the collection goes on with the
// defaults only when the user chooses so (`choice`), and otherwise a message
// box (titled `title`) says why it stops. 1 go on; 0 stop.
Outcome EnsureCalibrationForCollection(AppState& state, CalibrationChoice choice, const char* title);

// Begins a collection into state.realTime.filePath; 1 started, 0 not
// (reported). The calibration is checked first (realTime.calibrationChoice).
int StartRealTime(AppState& state);

// One fast tick: the GPS, then every record that has come. Returns the rows
// and bursts taken. A port that went away is told in a message box: the GPS
// one once, collection going on without positions (gpsLost); the logger's
// sets linkLost, and the face then ends the collection.
int RealTimeTick(AppState& state);

// Whether ending has a choice to hand in: a binary logger still on the line
// keeps sending unless told to stop.
bool EndAsksAboutTransmission(const AppState& state);
// That choice as the person is asked it: "Allow transmission to continue"
// is yes, "Stop transmission" no.
Question EndTransmissionQuestion(const AppState& state);
// Command 2135: ends the collection, tells the logger to stop sending when
// `stopTransmission` (the caller's decision), patches the byte count and
// reads the HEX file back as the current DataSet. Done, or the read-back's
// outcome, or Failed when the file could not be finished.
Outcome EndRealTime(AppState& state, bool stopTransmission = false);

// The header bytes of the real-time dump (the logger's parameter block as
// far as the program knows it), as long as the decoder expects.
std::vector<uint8_t> RealTimeHeaderBytes(const AppState& state);

// Writes `count` with "%7d" into the seven characters after "Number of bytes
// of data " of the file's first such line; false when the file or line is missing.
bool PatchByteCount(const std::string& path, long long count);

}  // namespace tmv
