#include "retrieval/DataSet.h"

#include <algorithm>

namespace tmv {

namespace {

constexpr const char* kStampCodes[kStampTypeCount] = {"TIM", "CLD", "CHG", "LUK", "WRM", "STP",
                                                      "TTY", "REC", "BST", "SER", "RTC", "GAN"};
constexpr const char* kStampNames[kStampTypeCount] = {
    "TIME STAMP",  "COLD STARTUP", "CHANGE STARTUP", "COOL STARTUP", "WARM STARTUP", "STOP STAMP",
    "COMMS STAMP", "RECOVERY STAMP", "BURST STAMP", "SERIAL STAMP", "RTC STAMP",    "GAIN STAMP"};

}  // namespace

const char* StampCode(int type) { return type >= 0 && type < kStampTypeCount ? kStampCodes[type] : "???"; }
const char* StampName(int type) { return type >= 0 && type < kStampTypeCount ? kStampNames[type] : "UNKNOWN STAMP"; }

bool DataSet::LayOut(int columns, int rows) {
  if (columns < 1 || columns > kMaxColumns || rows < 0) return false;
  const size_t stride = static_cast<size_t>(rows) + 2;
  const size_t need = stride * static_cast<size_t>(columns);
  if (need > kValuePoolSize) return false;
  pool_.resize(need);
  outsideMarks_.assign(need, 0);
  stride_ = stride;
  columns_ = columns;
  return true;
}

bool DataSet::AddColumn(uint8_t code) {
  if (columns_ >= kMaxColumns || stride_ == 0) return false;
  const size_t need = stride_ * static_cast<size_t>(columns_ + 1);
  if (need > kValuePoolSize) return false;
  pool_.resize(need, kInvalidValue);
  outsideMarks_.resize(need, 0);
  columnCodes[static_cast<size_t>(columns_)] = code;
  ++columns_;
  totalChannelCount = columns_;
  return true;
}

bool DataSet::EnsureBurst(int b) {
  if (b < 0 || b >= kMaxBursts || burstLength <= 0) return false;
  const size_t need = static_cast<size_t>(b + 1) * static_cast<size_t>(burstLength);
  if (bursts_.size() < need) bursts_.resize(need, 0.0f);
  return true;
}

void DataSet::Clear() {
  sampleCount = 0;
  wordCount = 0;
  stamps.clear();
  stampWords = 0;
  burstCount = -1;
  burstWords = 0;
  burstStartTimes.clear();
  totalChannelCount = channelCount;
  fromDatFile = false;
  // The pools keep their storage for the next layout: every row a decode
  // or file read counts is written again.
  stride_ = 0;
  columns_ = 0;
  bursts_.clear();  // a short burst must not show an earlier one's tail
}

LoggerTime SampleTime(const DataSet& data, int row) {
  LoggerTime base = data.startTime;
  int baseRow = 0;
  for (const StampRecord& s : data.stamps) {
    if (s.sampleIndex > row) break;  // the table is in memory order, rows never fall
    base = s.time;
    baseRow = s.sampleIndex;
  }
  const int steps = row - baseRow;
  if (data.sixHzProfiling) {
    // Six 167 ms steps from a whole second land on the next whole second.
    LoggerTime t = AddSeconds(base, steps / 6);
    return AddMilliseconds(t, (steps % 6) * 167);
  }
  return AddSeconds(base, steps * data.samplePeriodSeconds);
}

void ClassifyStamps(DataSet& data) {
  int rememberedRow = -1;
  int rememberedClass = 8;
  for (StampRecord& s : data.stamps) {
    switch (s.type) {
      case kStampRtc:
      case kStampRecovery:
        s.markerClass = 9;
        rememberedRow = s.sampleIndex;
        rememberedClass = 9;
        break;
      case kStampBurst:
        s.markerClass = 10;
        rememberedRow = s.sampleIndex;
        rememberedClass = -1;
        break;
      case kStampGain: {
        int lowest = -1, changed = 0;
        for (int c = 0; c < kMaxChannels; ++c)
          if (s.changedMask & (1u << c)) {
            if (lowest < 0) lowest = c;
            ++changed;
          }
        s.markerClass = changed > 1 ? 12 : std::max(lowest, 0);
        rememberedRow = s.sampleIndex;
        rememberedClass = s.markerClass;
        break;
      }
      default:
        s.markerClass = s.sampleIndex == rememberedRow ? rememberedClass : 8;
        break;
    }
  }
}

}  // namespace tmv
