#include "retrieval/SampleDecoder.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "model/ChannelTypes.h"
#include "model/Conversion.h"
#include "model/LoggerFamily.h"
#include "shell/AppState.h"

namespace tmv {

namespace {

bool IsGainType(uint8_t t) { return t == 'y' || t == 'f' || t == 'g' || t == 'z' || t == 'i'; }

int Bcd(uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }

// How one channel's readings become values, worked out once per decode.
struct ChannelPlan {
  CoefficientRow coefficients{};
  bool thermistor = false;
  bool excludeImpossible = false;  // 'T': -1000 is no reading and stays out of the range
  bool gain = false;
  int rangeMode = 0;  // 0 odd readings wrap, 1/2 the range code's threshold, 3 unchanged
  int32_t threshold = 0;
};

ChannelPlan PlanChannel(const LoggerInfo& logger, const CalibrationSet& calibration, uint8_t type, int c) {
  ChannelPlan p;
  p.coefficients = calibration.coefficients[static_cast<size_t>(c)];
  p.thermistor = IsTemperatureRecorder(logger.model) || type == 'T';
  p.excludeImpossible = type == 'T';
  p.gain = IsGainType(type);
  if (logger.extendedRange[static_cast<size_t>(c) + 1] & 0x01) {
    int rangeCode = ChannelRangeClass(logger, c);
    if (type == 'A' && logger.engineeringUnitsLevel == 1) rangeCode = 1;
    if (rangeCode == 2) {
      p.rangeMode = 2;
      p.threshold = 16609442;
    } else if (rangeCode == 1) {
      p.rangeMode = 1;
      p.threshold = 0xDFFFFF;
    } else {
      p.rangeMode = 3;
    }
  }
  return p;
}

class Decoder {
 public:
  Decoder(const DecodeSources& s, DataSet& d) : src_(s), data_(d), bytes_(s.image.Bytes()) {}

  void Run();

 private:
  enum class Word { Reading, End };
  Word ReadWord(uint32_t& raw, bool& stampSeen);
  void RowComplete();
  void AddStamp(int type, const LoggerTime& t);
  // Stores the reading of channel c in the current row.
  void Store(int c, uint32_t raw);
  // The time of the current row. Rows only count their steps; the calendar
  // arithmetic runs when a gain stamp needs the time.
  const LoggerTime& CurrentTime();

  const DecodeSources& src_;
  DataSet& data_;
  const uint8_t* bytes_;
  size_t offset_ = 0;
  int wordsRead_ = 0;
  int row_ = 0;
  int channel_ = 0;
  LoggerTime time_;
  int pendingSteps_ = 0;  // rows completed since time_ was last brought up to date
  int burstIndex_ = -1;
  int burstPosition_ = 0;
  bool burstFlag_ = false;
  bool overflowShown_ = false;
  bool stampMade_ = false;
  std::array<int, kMaxChannels> previousGain_{};
  std::array<int, kMaxChannels> currentGain_{};
  std::array<ChannelPlan, kMaxChannels> plans_{};
  // No valid reading yet: +inf and -inf, so the first one sets both.
  std::array<float, kMaxChannels> minimum_{}, maximum_{};
  std::array<float*, kMaxChannels> columns_{};
};

const LoggerTime& Decoder::CurrentTime() {
  if (pendingSteps_ == 0) return time_;
  if (data_.sixHzProfiling) {
    // Six 167 ms steps from a whole second end on the next whole second.
    if (time_.milliseconds == 0 && pendingSteps_ >= 6) {
      time_ = AddSeconds(time_, pendingSteps_ / 6);
      pendingSteps_ %= 6;
    }
    for (; pendingSteps_ > 0; --pendingSteps_) {
      time_ = AddMilliseconds(time_, 167);
      if (time_.milliseconds >= 1 && time_.milliseconds <= 49) time_.milliseconds = 0;
    }
  } else {
    time_ = AddSeconds(time_, static_cast<int32_t>(static_cast<int64_t>(pendingSteps_) * data_.samplePeriodSeconds));
    pendingSteps_ = 0;
  }
  return time_;
}

// The first pass keeps the raw count (exact in a float, below 2^24); the
// second converts whole columns at a time.
inline void Decoder::Store(int c, uint32_t raw) {
  if (plans_[static_cast<size_t>(c)].gain) currentGain_[static_cast<size_t>(c)] = static_cast<int>((raw & 6u) / 2u);
  columns_[static_cast<size_t>(c)][row_] = static_cast<float>(raw);
}

// The raw count a channel's reading stands for: odd readings of ordinary
// channels wrap out of range; extended-range channels wrap above their
// range code's threshold.
template <int kRangeMode>
inline int32_t AdjustRaw(int32_t raw, int32_t threshold) {
  if constexpr (kRangeMode == 0) {
    if (raw & 1) raw = (raw & 0x800000) ? raw - kRawSpan : raw + kRawSpan;
  } else if constexpr (kRangeMode == 1) {
    if (raw >= threshold) raw -= kRawSpan;
  }
  return raw;
}

// One column of raw counts converted in place; the invalid marks (negative)
// stay. The loops are specialised so that the common ones run branch-light.
template <int kRangeMode>
void ConvertThermistorColumn(const ChannelPlan& plan, float* column, int rows, float& min, float& max) {
  const CoefficientRow& k = plan.coefficients;
  const bool exclude = plan.excludeImpossible;
  float lo = std::numeric_limits<float>::infinity();
  float hi = -std::numeric_limits<float>::infinity();
  for (int r = 0; r < rows; ++r) {
    const float f = column[r];
    if (f < 0.0f) continue;
    const double value = ThermistorValue(k, AdjustRaw<kRangeMode>(static_cast<int32_t>(f), plan.threshold));
    const float v = static_cast<float>(value);
    column[r] = v;
    if (exclude && value < -999.0) continue;
    // NaN compares false both ways and so never enters the range.
    lo = v < lo ? v : lo;
    hi = v >= hi ? v : hi;
  }
  min = lo;
  max = hi;
}

template <int kRangeMode>
void ConvertPolynomialColumn(const ChannelPlan& plan, float* column, int rows, float& min, float& max) {
  const double k0 = plan.coefficients[0], k1 = plan.coefficients[1], k2 = plan.coefficients[2],
               k3 = plan.coefficients[3];
  const int32_t threshold = plan.threshold;
  float lo = std::numeric_limits<float>::infinity();
  float hi = -std::numeric_limits<float>::infinity();
  for (int r = 0; r < rows; ++r) {
    const float f = column[r];
    const bool valid = f >= 0.0f;
    const int32_t raw = AdjustRaw<kRangeMode>(static_cast<int32_t>(f), threshold);
    // PolynomialValue, term for term, so that values agree to the bit.
    const double x = static_cast<double>(raw) * (1.0 / kRawFullScale);
    const float v = static_cast<float>(k1 * x + k0 + k2 * x * x + k3 * x * x * x);
    column[r] = valid ? v : f;
    // NaN compares false both ways and so never enters the range.
    lo = valid && v < lo ? v : lo;
    hi = valid && v >= hi ? v : hi;
  }
  min = lo;
  max = hi;
}

void ConvertColumn(const ChannelPlan& plan, bool rawMode, float* column, int rows, float& min, float& max) {
  if (rawMode) {
    float lo = std::numeric_limits<float>::infinity();
    float hi = -std::numeric_limits<float>::infinity();
    for (int r = 0; r < rows; ++r) {
      if (column[r] < 0.0f) continue;
      const float v = static_cast<float>(static_cast<double>(static_cast<int32_t>(column[r])) / kRawFullScale);
      column[r] = v;
      lo = v < lo ? v : lo;
      hi = v >= hi ? v : hi;
    }
    min = lo;
    max = hi;
    return;
  }
  const int mode = plan.rangeMode == 0 ? 0 : plan.rangeMode == 3 ? 2 : 1;
  if (plan.thermistor) {
    if (mode == 0) ConvertThermistorColumn<0>(plan, column, rows, min, max);
    else if (mode == 1) ConvertThermistorColumn<1>(plan, column, rows, min, max);
    else ConvertThermistorColumn<2>(plan, column, rows, min, max);
  } else {
    if (mode == 0) ConvertPolynomialColumn<0>(plan, column, rows, min, max);
    else if (mode == 1) ConvertPolynomialColumn<1>(plan, column, rows, min, max);
    else ConvertPolynomialColumn<2>(plan, column, rows, min, max);
  }
}

// A full logger's columns are converted in pieces on the machine's cores:
// each piece's conversion is the same arithmetic, so the values do not
// depend on how the rows were shared out.
void ConvertColumnsInPieces(const ChannelPlan* plans, bool rawMode, float* const* columns, int channels, int rows,
                            float* minimum, float* maximum) {
  constexpr int kRowsAPiece = 1 << 16;
  const int pieces = std::max(1, (rows + kRowsAPiece - 1) / kRowsAPiece);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const int workers = static_cast<int>(std::min<unsigned>(std::min(cores, 8u), static_cast<unsigned>(pieces * channels)));
  std::vector<float> lo(static_cast<size_t>(pieces * channels)), hi(lo.size());
  std::atomic<int> next{0};
  auto work = [&] {
    for (int task; (task = next.fetch_add(1)) < pieces * channels;) {
      const int c = task / pieces, piece = task % pieces;
      const int first = piece * kRowsAPiece, count = std::min(kRowsAPiece, rows - first);
      ConvertColumn(plans[c], rawMode, columns[c] + first, count,
                    lo[static_cast<size_t>(task)], hi[static_cast<size_t>(task)]);
    }
  };
  if (workers <= 1 || rows < 4 * kRowsAPiece) {
    work();
  } else {
    std::vector<std::thread> threads;
    for (int w = 1; w < workers; ++w) threads.emplace_back(work);
    work();
    for (auto& t : threads) t.join();
  }
  for (int c = 0; c < channels; ++c) {
    float l = std::numeric_limits<float>::infinity(), h = -std::numeric_limits<float>::infinity();
    for (int piece = 0; piece < pieces; ++piece) {
      const size_t task = static_cast<size_t>(c * pieces + piece);
      l = lo[task] < l ? lo[task] : l;
      h = hi[task] >= h ? hi[task] : h;
    }
    minimum[c] = l;
    maximum[c] = h;
  }
}

void Decoder::AddStamp(int type, const LoggerTime& t) {
  pendingSteps_ = 0;
  if (data_.StampCount() < kMaxStamps) {
    StampRecord s;
    s.sampleIndex = row_;
    s.type = type;
    s.time = t;
    if (type == kStampBurst) s.burstIndex = burstIndex_;
    data_.stamps.push_back(s);
  } else if (!overflowShown_) {
    overflowShown_ = true;
    src_.ui.MessageBox("Data contains more timestamps than buffer can hold.\nSubsequent timestamps will be suppressed.",
                       "Timestamps", MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
  }
}

// Reads the next reading, consuming any stamps in front of it. Never reads a
// byte past the words of the data: a stamp at the very end ends the data.
Decoder::Word Decoder::ReadWord(uint32_t& raw, bool& stampSeen) {
  while (wordsRead_ < data_.wordCount) {
    const uint8_t* p = bytes_ + offset_;
    raw = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    offset_ += 3;
    ++wordsRead_;
    if (raw != 0) return Word::Reading;
    if (wordsRead_ >= data_.wordCount) return Word::Reading;  // no code follows: a reading of 0
    const uint8_t* code = bytes_ + offset_;
    int type = -1;
    for (int t = 0; t < kStampTypeCount; ++t)
      if (std::memcmp(code, StampCode(t), 3) == 0) {
        type = t;
        break;
      }
    if (type < 0) return Word::Reading;
    if (data_.wordCount - wordsRead_ < 3) {
      // A stamp cut off by the end of the data carries no time: drop it.
      offset_ += static_cast<size_t>(data_.wordCount - wordsRead_) * 3;
      wordsRead_ = data_.wordCount;
      return Word::End;
    }
    if (type == kStampBurst) {
      burstPosition_ = 0;
      ++burstIndex_;
      burstFlag_ = true;
    } else {
      burstFlag_ = false;
    }
    const uint8_t* d = code + 3;
    LoggerTime t;
    t.year = static_cast<uint16_t>(2000 + Bcd(d[0]));
    t.month = static_cast<uint16_t>(Bcd(d[1]));
    t.day = static_cast<uint16_t>(Bcd(d[2]));
    t.hour = static_cast<uint16_t>(Bcd(d[3]));
    t.minute = static_cast<uint16_t>(Bcd(d[4]));
    t.second = static_cast<uint16_t>(Bcd(d[5]));
    t.milliseconds = 0;
    offset_ += 9;
    wordsRead_ += 3;
    time_ = t;
    AddStamp(type, t);
    data_.stampWords += 4;
    stampSeen = true;
  }
  return Word::End;
}

void Decoder::RowComplete() {
  if (data_.gainChannelMask != 0) {
    StampRecord entry;
    for (int c = 0; c < data_.channelCount; ++c) {
      if (!(data_.gainChannelMask & (1u << c))) continue;
      if (row_ == 0 || currentGain_[static_cast<size_t>(c)] != previousGain_[static_cast<size_t>(c)]) {
        previousGain_[static_cast<size_t>(c)] = currentGain_[static_cast<size_t>(c)];
        entry.gains[static_cast<size_t>(c)] = currentGain_[static_cast<size_t>(c)];
        entry.changedMask |= 1u << c;
      }
    }
    if (entry.changedMask != 0) {
      stampMade_ = true;
      if (data_.StampCount() < kMaxStamps) {
        entry.sampleIndex = row_;
        entry.type = kStampGain;
        entry.time = CurrentTime();
        data_.stamps.push_back(entry);
      }
    }
  }
  ++pendingSteps_;
  channel_ = 0;
  ++row_;
}

void Decoder::Run() {
  const LoggerInfo& logger = src_.logger;
  DataSet& d = data_;
  const DeploymentSettings& dep = d.deployment;

  // 1. Time base and extended-range channels.
  d.samplePeriodSeconds = static_cast<int>(ClockSeconds(dep.samplingPeriod));
  d.sixHzProfiling = dep.sixHzMode;
  d.startTime = dep.startTime;
  d.burstLength = logger.waves && dep.waveEnabled ? dep.burstSamples : 0;
  if (d.burstLength < 0 || d.burstLength > 8192) d.burstLength = 0;

  // 2. Reset.
  d.Clear();

  // 3. Header and channels by logger kind.
  d.headerLength = MemoryHeaderLength(logger);
  LayOutMeasuredChannels(logger, d);
  d.gainChannelMask = 0;
  for (int c = 0; c < d.channelCount; ++c)
    if (IsGainType(d.channelTypes[static_cast<size_t>(c)])) d.gainChannelMask |= 1u << c;

  const int imageLength = std::clamp(src_.image.imageLength, 0, kMemoryImageSize);
  d.wordCount = imageLength / 3 - d.headerLength / 3;

  // 4. Nothing after the header.
  if (d.wordCount <= 0 || bytes_ == nullptr) {
    d.wordCount = std::max(d.wordCount, 0);
    d.sampleCount = 0;
    d.LayOut(d.channelCount, 0);
    return;
  }

  // 5. Arrays and the time base.
  int rows = d.wordCount / d.channelCount;
  // The pool bounds rows x columns: keep the rows that fit.
  const int maxRows = static_cast<int>(kValuePoolSize / static_cast<size_t>(d.channelCount)) - 2;
  rows = std::min(rows, maxRows);
  d.LayOut(d.channelCount, rows);
  time_ = d.startTime;
  for (int c = 0; c < d.channelCount; ++c)
    plans_[static_cast<size_t>(c)] = PlanChannel(logger, src_.calibration, d.channelTypes[static_cast<size_t>(c)], c);
  previousGain_.fill(-1);
  currentGain_.fill(0);

  // 6. Row loop.
  const bool waves = logger.waves;
  const CoefficientRow burstCoefficients = src_.calibration.coefficients[1];
  const int channels = d.channelCount;
  offset_ = static_cast<size_t>(d.headerLength);
  for (int c = 0; c < channels; ++c) columns_[static_cast<size_t>(c)] = d.Column(c);
  while (wordsRead_ < d.wordCount && row_ < rows) {
    // The common case: a whole row of readings at a row start.
    if (channel_ == 0 && !burstFlag_ && d.wordCount - wordsRead_ >= channels) {
      const uint8_t* p = bytes_ + offset_;
      uint32_t raws[kMaxChannels];
      bool plain = true;
      for (int c = 0; c < channels; ++c, p += 3) {
        raws[c] = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        plain &= raws[c] != 0;
      }
      if (plain) {
        for (int c = 0; c < channels; ++c) Store(c, raws[c]);
        offset_ += static_cast<size_t>(channels) * 3;
        wordsRead_ += channels;
        RowComplete();
        continue;
      }
    }
    uint32_t raw = 0;
    bool stampSeen = false;
    if (ReadWord(raw, stampSeen) == Word::End) break;

    if (waves && burstFlag_) {
      if (burstIndex_ < kMaxBursts && d.EnsureBurst(burstIndex_) && burstPosition_ < d.burstLength)
        d.Burst(burstIndex_)[burstPosition_] = static_cast<float>(PolynomialValue(burstCoefficients, static_cast<int32_t>(raw)));
      ++burstPosition_;
      ++d.burstWords;
      continue;
    }

    if (stampSeen && channel_ > 0) {
      // The stamp closed the row: the channels not read are not there.
      for (int c = channel_; c < channels; ++c) columns_[static_cast<size_t>(c)][row_] = kInvalidValue;
      channel_ = 0;
      ++row_;
      if (row_ >= rows) break;
    }
    Store(channel_, raw);
    if (++channel_ == channels) RowComplete();
  }

  // 7. Rows actually filled (complete rows and rows closed by a stamp),
  // converted column by column.
  d.sampleCount = row_;
  std::array<float*, kMaxChannels> columns{};
  for (int c = 0; c < d.channelCount; ++c) columns[static_cast<size_t>(c)] = d.Column(c);
  ConvertColumnsInPieces(plans_.data(), d.rawMode, columns.data(), d.channelCount, d.sampleCount, minimum_.data(),
                         maximum_.data());
  for (int c = 0; c < d.channelCount; ++c) {
    float* col = d.Column(c);
    const bool any = minimum_[static_cast<size_t>(c)] <= maximum_[static_cast<size_t>(c)];
    col[d.sampleCount] = any ? minimum_[static_cast<size_t>(c)] : kInvalidValue;
    col[d.sampleCount + 1] = any ? maximum_[static_cast<size_t>(c)] : kInvalidValue;
  }
  if (!d.stamps.empty() || stampMade_) ClassifyStamps(d);

  // 8. Bursts: their start times, then their analysis.
  d.burstCount = std::min(burstIndex_, kMaxBursts - 1);
  size_t next = 0;
  for (int b = 0; b <= d.burstCount; ++b) {
    LoggerTime start = d.startTime;
    while (next < d.stamps.size() && d.stamps[next].type != kStampBurst) ++next;
    if (next < d.stamps.size()) start = d.stamps[next++].time;
    d.burstStartTimes.push_back(start);
    if (src_.hooks.analyseBurst && d.burstLength > 0) src_.hooks.analyseBurst(d, b);
  }

  // 9. Derived channels.
  if (src_.hooks.addDerivedChannels) src_.hooks.addDerivedChannels(d);
}

}  // namespace

int MemoryHeaderLength(const LoggerInfo& logger) {
  if (logger.microchipLogger) return std::clamp(logger.parameterBlockLength, 0, 255);
  if (IsTemperatureRecorder(logger.model)) {
    if (FirmwareBelow(logger.firmwareVersion, 1.5)) return 0;
    if (FirmwareBelow(logger.firmwareVersion, 2.2)) return 15;
    return 30;
  }
  if (IsDepthRecorder(logger.model)) return 30;
  return std::clamp(logger.parameterBlockLength, 0, 255);
}

double ConvertStoredReading(const LoggerInfo& logger, const CalibrationSet& calibration, uint8_t type, uint32_t raw, int c) {
  const ChannelPlan plan = PlanChannel(logger, calibration, type, std::clamp(c, 0, kMaxChannels - 1));
  float column[1] = {static_cast<float>(raw & 0xFFFFFFu)};
  float lo = 0, hi = 0;
  ConvertColumn(plan, false, column, 1, lo, hi);
  return column[0];
}

void LayOutMeasuredChannels(const LoggerInfo& logger, DataSet& d) {
  // A newer logger's channels are its configuration's, whatever its model
  // says (a KPM-5170 records temperature and pressure).
  if (!logger.microchipLogger && (IsTemperatureRecorder(logger.model) || IsDepthRecorder(logger.model))) {
    d.channelCount = 1;
    d.channelTypes = {};
    d.channelTypes[0] = IsTemperatureRecorder(logger.model) ? 'T' : 'P';
  } else {
    d.channelCount = std::clamp(logger.channelCount, 1, kMaxChannels);
    d.channelTypes = logger.channelTypes;
  }
  d.totalChannelCount = d.channelCount;
  d.columnCodes = {};
  for (int c = 0; c < d.channelCount; ++c) d.columnCodes[static_cast<size_t>(c)] = d.channelTypes[static_cast<size_t>(c)];
}

void DecodeSampleStream(const DecodeSources& sources, DataSet& data, bool /*fromFile*/) {
  Decoder decoder(sources, data);
  decoder.Run();
}

void DecodeSampleStream(AppState& state, bool fromFile) {
  RetrievalState& r = state.retrieval;
  DecodeSources sources{r.image, state.logger, state.calibration, state.ui, r.hooks};
  DecodeSampleStream(sources, r.data, fromFile);
}

}  // namespace tmv
