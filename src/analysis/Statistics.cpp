#include "analysis/Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "files/SettingsFile.h"
#include "link/Exchange.h"
#include "model/Calibration.h"
#include "model/ChannelTypes.h"
#include "model/Conversion.h"
#include "shell/AppState.h"
#include "shell/StatusLine.h"

namespace tmv {
namespace {

std::string Printf(const char* format, double value) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// A number field: the whole text must be a finite number.
bool ParseNumber(const std::string& text, double& out) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const double v = std::strtod(begin, &end);
  if (end == begin) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0' && *end != ' ' && *end != '(') return false;
  out = v;
  return true;
}

constexpr double kRawScale = 16777216.0;

}  // namespace

RowStatistics ComputeRowStatistics(const float* values, int first, int last, const uint8_t* outsideMarks) {
  RowStatistics s;
  s.first = first;
  s.last = last;
  if (values == nullptr || last < first) return s;
  double mean = 0.0, m2 = 0.0;
  int n = 0;
  for (int i = first; i <= last; ++i) {
    const double v = values[i];
    if (!IsValidValue(v)) {
      ++s.invalid;
      continue;
    }
    if (outsideMarks != nullptr && outsideMarks[i] != 0) ++s.outsideRange;
    ++n;
    const double delta = v - mean;
    mean += delta / n;
    m2 += delta * (v - mean);
  }
  s.rows = last - first + 1;
  s.count = n;
  s.mean = mean;
  if (n > 1) {
    s.standardDeviation = std::sqrt(std::max(m2, 0.0) / (n - 1));
    s.deviationAvailable = true;
  }
  return s;
}

RowStatistics HighlightStatistics(const DataSet& data, int column, int cursorRow, int n) {
  if (data.sampleCount <= 0 || column < 0 || column >= data.totalChannelCount || cursorRow < 0 || n <= 0)
    return RowStatistics{};
  const int last = std::min(cursorRow, data.sampleCount - 1);
  const int first = std::max(0, last - n + 1);
  return ComputeRowStatistics(data.Column(column), first, last, data.RangeMarks(column));
}

std::string StatisticsNote(const RowStatistics& s) {
  std::string note;
  if (s.invalid > 0)
    note = std::to_string(s.invalid) + (s.invalid == 1 ? " invalid reading" : " invalid readings") + " left out";
  if (s.outsideRange > 0) {
    if (!note.empty()) note += "; ";
    note += std::to_string(s.outsideRange) + (s.outsideRange == 1 ? " value" : " values") +
            " outside the formula's range";
  }
  return note;
}

Sensor CalibrationSensor(const DataSet& data, int column) {
  // Only the logger's own channels: a derived depth has no coefficients.
  if (column < 0 || column >= data.channelCount || column >= kMaxChannels) return Sensor::None;
  switch (data.channelTypes[static_cast<size_t>(column)]) {
    case 'A': return Sensor::Depth;
    case 'H': return Sensor::Ph;
    case 'D': return Sensor::Oxygen;
    case 'Y': case 'y': return Sensor::Turbidity;
    default: return Sensor::None;
  }
}

bool CalibrationEligible(const DataSet& data, int column) { return CalibrationSensor(data, column) != Sensor::None; }

StatisticsPanelState& StatisticsPanel::panel() { return state_.statistics; }

void StatisticsPanel::ReferenceValues(Sensor sensor, double& lower, double& upper) const {
  const OnlineCalibrationLimits& o = state_.settings.online;
  switch (sensor) {
    case Sensor::Depth: lower = o.lowerDepth; upper = o.upperDepth; break;
    case Sensor::Ph: lower = o.lowerPh; upper = o.upperPh; break;
    case Sensor::Oxygen: lower = o.lowerO2; upper = o.upperO2; break;
    case Sensor::Turbidity: lower = o.lowerTurbidity; upper = o.upperTurbidity; break;
    case Sensor::None: lower = upper = 0; break;
  }
}

void StatisticsPanel::Show() {
  StatisticsPanelState& p = panel();
  p.statisticsShown = true;
  ResetAndResize();
  if (hooks_.repaintGraph) hooks_.repaintGraph();
}

void StatisticsPanel::UpdateStatistics(int channel, int cursorRow) {
  StatisticsPanelState& p = panel();
  const DataSet& data = state_.retrieval.data;
  const RowStatistics s = HighlightStatistics(data, channel, cursorRow, p.highlightCount);
  p.noteText = StatisticsNote(s);
  if (s.count == 0) {
    p.meanText = "Not available";
    p.deviationText = "Not available";
  } else {
    if (p.rawView && s.count == 1) {
      char buffer[96];
      std::snprintf(buffer, sizeof buffer, "%.7f (%06X)", s.mean,
                    static_cast<unsigned>(static_cast<int64_t>(s.mean * kRawScale)) & 0xFFFFFFu);
      p.meanText = buffer;
    } else {
      p.meanText = Printf("%.7f", s.mean);
    }
    p.deviationText = s.deviationAvailable ? Printf("%.7f", s.standardDeviation) : "Not available";
  }
  // The field counts the highlighted rows, whether or not each holds a reading.
  if (s.rows > 0 && s.rows != p.highlightCount) {
    p.highlightCount = s.rows;
    p.countText = std::to_string(s.rows);
    if (hooks_.repaintGraph) hooks_.repaintGraph();
  }
  const bool changed = p.statisticsChannel != channel;
  p.statisticsChannel = channel;
  const Sensor sensor = CalibrationSensor(data, channel);
  // The group follows the channel chosen while the panel is open, as it
  // would had the panel been opened on that channel.
  if (changed) p.calibrationGroupShown = sensor != Sensor::None;
  if (sensor != Sensor::None) {
    // The fixed-point fields are filled for a new channel; what the user
    // typed for the present one is not written over by every repaint.
    if (changed || p.lowerFixed.empty() || p.upperFixed.empty()) {
      double lower, upper;
      ReferenceValues(sensor, lower, upper);
      p.lowerFixed = Printf("%.7f", lower);
      p.upperFixed = Printf("%.7f", upper);
    }
    EnableCalibration();
    CheckAvailability(false);
  } else {
    CheckAvailability(true);
  }
  SetTitle();
}

void StatisticsPanel::TypeCount(const std::string& text) {
  StatisticsPanelState& p = panel();
  const char* begin = text.c_str();
  char* end = nullptr;
  const unsigned long v = std::strtoul(begin, &end, 10);
  if (end == begin || v == 0 || v > 100000000ul) return;
  if (static_cast<int>(v) == p.highlightCount) return;
  p.highlightCount = static_cast<int>(v);
  p.countText = std::to_string(v);
  if (hooks_.repaintGraph) hooks_.repaintGraph();
}

void StatisticsPanel::ChangeDataView() {
  StatisticsPanelState& p = panel();
  const DataSet& data = state_.retrieval.data;
  const bool wasRaw = p.rawView;
  if (!p.rawView) {
    p.rawView = true;
    const int ch = p.statisticsChannel;
    if (CalibrationEligible(data, ch)) {
      double lower = 0, upper = 0;
      ParseNumber(p.lowerFixed, lower);
      ParseNumber(p.upperFixed, upper);
      p.lowerReading = Printf("%.7f", EngineeringToRaw(state_.logger, state_.calibration, lower, ch) / kRawScale);
      p.upperReading = Printf("%.7f", EngineeringToRaw(state_.logger, state_.calibration, upper, ch) / kRawScale);
    } else {
      ClearCalibrationFields();
    }
  } else {
    p.rawView = false;
    CheckAvailability(false);
  }
  if (state_.retrieval.image.imageLength <= 0 || !hooks_.redecode || !hooks_.redecode(p.rawView)) {
    state_.ui.MessageBox("No raw data is available for this operation.\n\nRetrieve data from logger or read a 'hex' file.",
                         "Statistics view", MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
    p.rawView = wasRaw;  // the view does not change
    SetTitle();
    return;
  }
  SetTitle();
  if (p.rawView) Propose();
  if (hooks_.repaintGraph) hooks_.repaintGraph();
}

void StatisticsPanel::TransferReading(bool upper) {
  StatisticsPanelState& p = panel();
  double mean;
  if (!ParseNumber(p.meanText, mean)) return;
  (upper ? p.upperReading : p.lowerReading) = Printf("%.7f", mean);
  (upper ? p.upperPending : p.lowerPending) = false;
  if (p.rawView) Propose();
}

void StatisticsPanel::EditField(int control, const std::string& text) {
  StatisticsPanelState& p = panel();
  switch (control) {
    case statctl::kLowerReading: p.lowerReading = text; break;
    case statctl::kUpperReading: p.upperReading = text; break;
    case statctl::kLowerFixed: p.lowerFixed = text; break;
    case statctl::kUpperFixed: p.upperFixed = text; break;
    default: return;
  }
  if (p.rawView) Propose();
}

void StatisticsPanel::Propose() {
  StatisticsPanelState& p = panel();
  const DataSet& data = state_.retrieval.data;
  const int ch = p.statisticsChannel;
  if (!CalibrationEligible(data, ch)) {
    p.message = "On-line calibration not available on this channel";
    p.writeEnabled = false;
    return;
  }
  double r1, r2, k1, k2;
  if (!ParseNumber(p.lowerReading, r1) || !ParseNumber(p.upperReading, r2) || !ParseNumber(p.lowerFixed, k1) ||
      !ParseNumber(p.upperFixed, k2))
    return;  // not numbers: the previous values stand
  const int rangeClass = ChannelTypeTable()[static_cast<size_t>(std::min(
      ChannelTypeRowForCode(data.channelTypes[static_cast<size_t>(ch)]), kChannelTypeCount - 1))].rangeClass;
  // A lower reading at the top of the raw range stands for a value just below zero.
  if ((rangeClass == 2 && r1 >= 0.99) || (rangeClass == 1 && r1 >= 0.875)) r1 -= 1.0;
  if (r2 != r1) {
    p.newGain = (k2 - k1) / (r2 - r1);
    p.newOffset = k1 - p.newGain * r1;
  }
  if (std::isfinite(p.newGain) && std::isfinite(p.newOffset) && (p.proposalValid || r2 != r1)) {
    p.proposalValid = true;
    p.writeEnabled = true;
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "Calibration coefficients:%.15lf, %.15lf, 0.0, 0.0", p.newOffset, p.newGain);
    p.message = std::string(buffer).size() > 100 ? "Calibration coefficients not yet set" : buffer;
  } else {
    p.proposalValid = false;
    p.writeEnabled = false;
  }
}

int StatisticsPanel::WriteCoefficients() {
  StatisticsPanelState& p = panel();
  if (!p.proposalValid || !CalibrationEligible(state_.retrieval.data, p.statisticsChannel)) return 0;
  auto ask = [&](const char* text) {
    return state_.ui.MessageBox(text, "On-line calibration", MessageButtons::YesNo, MessageIcon::Question,
                                MessageAnswer::No) == MessageAnswer::Yes;
  };
  if (p.lowerPending && !ask("No zero entered - Single point OK?")) return 0;
  if (p.upperPending && !ask("No upper value entered - Single point OK?")) return 0;
  const size_t ch = static_cast<size_t>(p.statisticsChannel);
  const CalibrationSet previous = state_.calibration;
  const std::array<double, 4> proposed{p.newOffset, p.newGain, 0.0, 0.0};
  state_.calibration.coefficients[ch] = proposed;
  state_.calibration.changedFlags |= 1;
  if (WriteCalibration(state_) != 1) {
    // The logger still holds the old line: so does the program.
    state_.calibration = previous;
    p.message = "Calibration coefficients were not written - the previous coefficients stay in use";
    return 0;
  }
  state_.logger.calibrationStale = true;
  const int read = CommGet(state_, 10);
  const auto& back = state_.calibration.coefficients[ch];
  bool same = read == 1;
  for (size_t i = 0; same && i < 4; ++i)
    same = std::fabs(back[i] - proposed[i]) <= 1e-6 * std::max(1.0, std::fabs(proposed[i]));
  if (!same) {
    state_.calibration = previous;
    state_.logger.calibrationStale = true;
    p.message = "Calibration coefficients read back differ from those written - the previous coefficients stay in use";
    ShowStatus(state_, p.message);
    return 0;
  }
  p.message = "Calibration coefficients written and read back";
  return 1;
}

void StatisticsPanel::SaveFixedPoints() {
  StatisticsPanelState& p = panel();
  double lower, upper;
  if (!ParseNumber(p.lowerFixed, lower) || !ParseNumber(p.upperFixed, upper)) return;
  OnlineCalibrationLimits& o = state_.settings.online;
  switch (CalibrationSensor(state_.retrieval.data, p.statisticsChannel)) {
    case Sensor::Depth: o.lowerDepth = lower; o.upperDepth = upper; break;
    case Sensor::Ph: o.lowerPh = lower; o.upperPh = upper; break;
    case Sensor::Oxygen: o.lowerO2 = lower; o.upperO2 = upper; break;
    default: break;  // turbidity references are not kept
  }
  SaveSettings(state_);
}

void StatisticsPanel::Close() {
  StatisticsPanelState& p = panel();
  const bool wasRaw = p.rawView;
  p.rawView = false;
  p.statisticsShown = false;
  if (wasRaw && state_.retrieval.image.imageLength > 0 && hooks_.redecode) hooks_.redecode(false);
  SetTitle();
  if (hooks_.repaintGraph) hooks_.repaintGraph();
}

void StatisticsPanel::CheckAvailability(bool notEligible) {
  StatisticsPanelState& p = panel();
  if (notEligible) {
    p.message = "On-line calibration not available on this channel";
    ClearCalibrationFields();
  } else if (!p.rawView) {
    p.message = "On-line calibration not available in converted mode - Press 'Change data view'";
  } else if (p.statisticsChannel != p.lastCalibrationChannel && p.lastCalibrationChannel >= 0) {
    // A new channel in raw view: its reading fields come from its own calibration.
    const int ch = p.statisticsChannel;
    double k1 = 0, k2 = 0;
    ParseNumber(p.lowerFixed, k1);
    ParseNumber(p.upperFixed, k2);
    p.lowerReading = Printf("%.7f", EngineeringToRaw(state_.logger, state_.calibration, k1, ch) / kRawScale);
    p.upperReading = Printf("%.7f", EngineeringToRaw(state_.logger, state_.calibration, k2, ch) / kRawScale);
    p.lowerPending = p.upperPending = true;
    p.proposalValid = false;
    Propose();
  }
  p.lastCalibrationChannel = p.statisticsChannel;
}

void StatisticsPanel::EnableCalibration() {
  StatisticsPanelState& p = panel();
  p.writeEnabled = p.rawView && p.proposalValid;
  p.upperFixedEnabled = p.upperPending;
  p.lowerFixedEnabled = p.lowerPending;
  p.transferEnabled = true;
  p.saveEnabled = true;
}

void StatisticsPanel::SetTitle() {
  StatisticsPanelState& p = panel();
  p.title = p.rawView ? "Statistics of highlighted RAW data for channel: "
                      : "Statistics of highlighted CONVERTED data for channel: ";
  const DataSet& data = state_.retrieval.data;
  const int ch = p.statisticsChannel;
  if (ch >= 0 && ch < data.totalChannelCount) {
    const int row = ChannelTypeRowForCode(ch < data.channelCount ? data.channelTypes[static_cast<size_t>(ch)]
                                                                  : data.columnCodes[static_cast<size_t>(ch)]);
    const char* format = row < kChannelTypeCount ? ChannelTypeTable()[static_cast<size_t>(row)].labelFormat : "%2d - Unknown";
    if (format == nullptr) format = "%2d - Unknown";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, ch + 1);
    p.title += buffer;
  }
}

void StatisticsPanel::ClearCalibrationFields() {
  StatisticsPanelState& p = panel();
  p.lowerReading.clear();
  p.upperReading.clear();
  p.lowerFixed.clear();
  p.upperFixed.clear();
  p.proposalValid = false;
  p.writeEnabled = false;
}

void StatisticsPanel::ResetAndResize() {
  StatisticsPanelState& p = panel();
  p.lowerPending = true;
  p.upperPending = true;
  p.calibrationGroupShown = CalibrationEligible(state_.retrieval.data, p.statisticsChannel);
}

}  // namespace tmv
