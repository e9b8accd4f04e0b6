#pragma once
// The readings in memory: one array of engineering values per column, the
// stamp table, the burst series of wave loggers and the time base.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "deployment/DeploymentSettings.h"
#include "model/LoggerInfo.h"
#include "model/LoggerTime.h"

namespace tmv {

// A reading that is not there: an impossible thermistor reading, a channel
// of a row closed early by a stamp. The derived quantities use it too.
constexpr float kInvalidValue = -1000.0f;

constexpr int kMaxStamps = 11000;
constexpr int kMaxColumns = 32;
constexpr size_t kValuePoolSize = 9437184;  // floats, all columns together
constexpr int kMaxBursts = 5500;

enum StampType {
  kStampTime = 0,
  kStampColdStartup = 1,
  kStampChangeStartup = 2,
  kStampCoolStartup = 3,
  kStampWarmStartup = 4,
  kStampStop = 5,
  kStampComms = 6,
  kStampRecovery = 7,
  kStampBurst = 8,
  kStampSerial = 9,
  kStampRtc = 10,
  kStampGain = 11,
};
constexpr int kStampTypeCount = 12;

const char* StampCode(int type);  // "TIM" ... "GAN"; "???" outside 0..11
const char* StampName(int type);  // "TIME STAMP" ... "GAIN STAMP"

struct StampRecord {
  int sampleIndex = 0;
  int type = 0;
  int markerClass = 0;
  int burstIndex = 0;
  LoggerTime time;
  std::array<int, kMaxChannels> gains{};
  uint32_t changedMask = 0;
};

struct DataSet {
  int headerLength = 0;
  int wordCount = 0;
  int channelCount = 1;
  int totalChannelCount = 1;
  std::array<uint8_t, kMaxChannels> channelTypes{};
  // Type codes of the derived columns (after the measured ones).
  std::array<uint8_t, kMaxColumns> columnCodes{};
  int sampleCount = 0;
  uint32_t gainChannelMask = 0;
  LoggerTime startTime;
  int samplePeriodSeconds = 1;
  bool sixHzProfiling = false;
  std::vector<StampRecord> stamps;  // at most kMaxStamps
  int stampWords = 0;
  int burstCount = -1;  // the last burst index; -1 when none
  int burstLength = 0;
  std::vector<LoggerTime> burstStartTimes;
  int burstWords = 0;
  bool rawMode = false;
  DeploymentSettings deployment;
  int loggerStatus = 0;
  LoggerTime hostTime, loggerTime;
  bool unsaved = false;  // retrieved and not yet saved
  bool fromDatFile = false;  // read from a DAT file: no memory image behind it

  // Column c holds `stride` floats: rows 0..sampleCount-1, then the minimum
  // at sampleCount and the maximum at sampleCount + 1.
  float* Column(int c) { return pool_.data() + static_cast<size_t>(c) * stride_; }
  const float* Column(int c) const { return pool_.data() + static_cast<size_t>(c) * stride_; }
  float Value(int c, int r) const { return Column(c)[r]; }
  float Minimum(int c) const { return Column(c)[sampleCount]; }
  float Maximum(int c) const { return Column(c)[sampleCount + 1]; }
  int Stride() const { return static_cast<int>(stride_); }
  // Whether value r of column c was computed from inputs outside the
  // published range of its formula (derived columns only). Such a value
  // stays in the column and in the DAT file; the exports flag it, the
  // statistics count it and the graph can draw it apart.
  bool OutsideFormulaRange(int c, int r) const {
    return c >= 0 && c < columns_ && r >= 0 && static_cast<size_t>(r) < stride_ &&
           outsideMarks_[static_cast<size_t>(c) * stride_ + static_cast<size_t>(r)] != 0;
  }
  // The marks of column c, one byte per slot laid out as the values (nonzero:
  // outside the formula's range); nullptr outside the laid-out columns.
  uint8_t* RangeMarks(int c) {
    return c >= 0 && c < columns_ ? outsideMarks_.data() + static_cast<size_t>(c) * stride_ : nullptr;
  }
  const uint8_t* RangeMarks(int c) const {
    return c >= 0 && c < columns_ ? outsideMarks_.data() + static_cast<size_t>(c) * stride_ : nullptr;
  }
  int StampCount() const { return static_cast<int>(stamps.size()); }

  // Lays out `columns` arrays for `rows` rows. The pool grows when first
  // needed and never past kValuePoolSize floats; false when it would.
  bool LayOut(int columns, int rows);
  // Appends a column (derived quantities); false past kMaxColumns or the pool.
  bool AddColumn(uint8_t code);
  float* Burst(int b) { return bursts_.data() + static_cast<size_t>(b) * static_cast<size_t>(burstLength); }
  const float* Burst(int b) const { return bursts_.data() + static_cast<size_t>(b) * static_cast<size_t>(burstLength); }
  // Makes room for burst b; false past kMaxBursts or without a burst length.
  bool EnsureBurst(int b);
  void Clear();

 private:
  std::vector<float> pool_;
  std::vector<uint8_t> outsideMarks_;  // one byte per value of pool_, cleared at each layout
  size_t stride_ = 0;
  int columns_ = 0;
  std::vector<float> bursts_;
};

// The type code of a column: the channel's type for a measured channel, the
// derived code for an appended one; 0 outside the columns.
inline uint8_t ColumnCode(const DataSet& data, int column) {
  if (column < 0 || column >= kMaxColumns) return 0;
  if (column < data.channelCount && column < kMaxChannels) return data.channelTypes[static_cast<size_t>(column)];
  return data.columnCodes[static_cast<size_t>(column)];
}

// Where the analysis of later steps plugs into decoding.
struct DecodeHooks {
  // The wave analysis of one burst.
  std::function<void(DataSet&, int burst)> analyseBurst;
  // The derived channels and tide values, once the readings are in.
  std::function<void(DataSet&)> addDerivedChannels;
};

// The time of row r: the last stamp at or before r, plus whole periods (or
// 167 ms steps).
LoggerTime SampleTime(const DataSet& data, int row);

// Sets each stamp's markerClass for the graph.
void ClassifyStamps(DataSet& data);

}  // namespace tmv
