// The micro-salinometer panel: averaging, settling, standardisation and the
// capture file, and the instrument's setup and record reception.
#include "microsal/MicroSalinometer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "analysis/SeawaterFormulas.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/Calibration.h"
#include "model/ChannelTypes.h"
#include "model/Conversion.h"
#include "model/KnowLogger.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

constexpr const char* kTitle = "Micro-Salinometer";
constexpr const char* kAcceptTitle = "Accept Standardisation";
constexpr const char* kCaptureTitle = "Micro-Salinometer Data Capture to File";

void Box(AppState& state, const std::string& text, const char* title, MessageIcon icon = MessageIcon::Exclamation) {
  state.ui.MessageBox(Tr(state, text), Tr(state, title), MessageButtons::Ok, icon, MessageAnswer::Ok);
}

// Appends to the capture file; false when it cannot be written.
bool AppendToCapture(const MicroSalState& m, const std::string& text) {
  if (m.captureFile.empty()) return false;
  std::ofstream f(m.captureFile, std::ios::binary | std::ios::app);
  if (!f) return false;
  // Text files have CR LF line ends.
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  f << out;
  return static_cast<bool>(f);
}

std::string FiveValueBlock(const MicroSalState& m) {
  return Format(" Vstandard(0) %.7f\n Vsample(0)   %.7f\n Vstandard(1) %.7f\n Vsample(1)   %.7f\n Alpha        %.7f\n\n",
                m.vStandard0, m.vSample0, m.vStandard1, m.vSample1, m.alpha);
}

std::string Stamp(const char* head, const LoggerTime& t) {
  return Format("%s%4d/%02d/%02d %02d:%02d:%02d\n", head, t.year, t.month, t.day, t.hour, t.minute, t.second);
}

bool MicroSalChannelsAsExpected(const AppState& state, const MicroSalState& m) {
  if (state.logger.channelCount < 3) return false;
  return ChannelCode(state.logger, m.channelA) == 'C' && ChannelCode(state.logger, m.channelT) == 'T' &&
         ChannelCode(state.logger, m.channelB) == 'C';
}

int LoggerStatus(AppState& state) { return CommGet(state, 9) ? state.query.loggerStatus : -1; }

bool StoppedStatus(int s) { return s == 0 || s == 4 || s == 8; }

void PutDouble(uint8_t* out, double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

double GetDouble(const uint8_t* in) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(in[i]) << (8 * i);
  double v = 0.0;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

}  // namespace

int ClampAveragingSeconds(int seconds) { return std::clamp(seconds, 1, 60); }

void SetMicroSalAveraging(MicroSalState& m, int seconds) {
  m.averagingSeconds = ClampAveragingSeconds(seconds);
  m.window = m.averagingSeconds * kMicroSalSamplesPerSecond;
}

double HistoryStandardDeviation(const std::deque<double>& values) {
  const double n = static_cast<double>(values.size());
  if (values.size() < 2) return 0.0;
  // Deviations from the first value keep the sums small, so the formula
  // does not lose the few last digits that decide settling.
  const double ref = values.front();
  double sum = 0.0, sumSquares = 0.0;
  for (double v : values) {
    sum += v - ref;
    sumSquares += (v - ref) * (v - ref);
  }
  const double var = (n * sumSquares - sum * sum) / ((n - 1) * n);
  return var > 0.0 ? std::sqrt(var) : 0.0;
}

void AddMicroSalSample(MicroSalState& m, const std::array<double, kSalSeriesCount>& sample) {
  const size_t window = static_cast<size_t>(std::clamp(m.window, 1, kMicroSalMaxSamples));
  for (int i = 0; i < kSalSeriesCount; ++i) {
    auto& s = m.series[static_cast<size_t>(i)];
    // A shorter window keeps only the newest samples; a full one drops the oldest.
    while (s.size() >= window) s.pop_front();
    s.push_back(sample[static_cast<size_t>(i)]);
  }
  m.sampleCount = static_cast<int>(m.series[0].size());
  for (int i = 0; i < kSalSeriesCount; ++i) {
    const auto& s = m.series[static_cast<size_t>(i)];
    double sum = 0.0;
    for (double v : s) sum += v;
    m.averages[static_cast<size_t>(i)] = s.empty() ? 0.0 : sum / static_cast<double>(s.size());
  }
  while (m.history.size() >= window) m.history.pop_front();
  m.history.push_back(m.averages[kSalS]);
  m.historyFull = m.history.size() >= window;
  m.standardDeviation = HistoryStandardDeviation(m.history);
  m.settled = m.historyFull && m.standardDeviation < 0.001;
  m.text = MicroSalInformationText(m);
  m.salinityText = Format("Sample salinity (PSS-78): %.4f", m.averages[kSalS]);
}

std::array<double, kSalSeriesCount> MicroSalSampleFromRaw(const AppState& state, const MicroSalState& m,
                                                          int32_t rawA, int32_t rawT, int32_t rawB) {
  std::array<double, kSalSeriesCount> s{};
  s[kSalA] = rawA / kRawFullScale;
  s[kSalB] = rawB / kRawFullScale;
  s[kSalT] = ConvertReading(state.logger, state.calibration, rawT, m.channelT);
  const double a = ConvertReading(state.logger, state.calibration, rawA, m.channelA);
  const double b = ConvertReading(state.logger, state.calibration, rawB, m.channelB);
  // A standard cell reading nothing gives no ratio rather than an infinite one.
  s[kSalRt] = b != 0.0 ? a / b : -1.0;
  s[kSalS] = s[kSalRt] >= 0.0 && std::isfinite(s[kSalRt]) ? SalinityPss78(s[kSalRt], s[kSalT], 0.0, 1) : 0.0;
  if (!std::isfinite(s[kSalS])) s[kSalS] = 0.0;
  return s;
}

std::string MicroSalInformationText(const MicroSalState& m) {
  std::string text;
  if (m.sampleCount < m.window) text += Format("\t(%d second averages)\n", (m.sampleCount + 1) / 6);
  text += Format("Standard deviation:\t%.5f\n\nTemperature:\t\t%.4f\xB0" "C\nRatio (Rt):\t\t%.5f", m.standardDeviation,
                 m.averages[kSalT], m.averages[kSalRt]);
  if (m.moreInformation) text += m.settled ? "\n\nSETTLED" : "\n\nSETTLING";
  return text;
}

double StandardisationAlpha(double k15, double vStandard0, double vSample0, double vStandard1, double vSample1) {
  return (vStandard1 - vStandard0) * k15 / (vSample1 - vSample0);
}

std::string StandardisationProblem(const MicroSalState& m) {
  // Standard seawater is close to the 35 PSU of its definition; anything far
  // from K15 = 1 is a typing error that would miscalibrate every sample.
  if (!(m.k15 >= 0.9 && m.k15 <= 1.1))
    return Format("K15 = %.5f is not the K15 of a standard seawater.\nEnter a value between 0.9 and 1.1.", m.k15);
  if (!std::isfinite(m.vSample0) || !std::isfinite(m.vSample1) || !std::isfinite(m.vStandard0) ||
      !std::isfinite(m.vStandard1))
    return "The standardisation readings are not numbers.\nCapture them again.";
  if (std::fabs(m.vSample1 - m.vSample0) < 1e-9)
    return "Vsample(1) equals Vsample(0): the sample cell did not see the standard seawater.\nCapture Vsample(1) "
           "again.";
  if (std::fabs(m.vStandard1 - m.vStandard0) < 1e-9)
    return "Vstandard(1) equals Vstandard(0): the standard cell reads no seawater.\nCapture Vstandard(1) again.";
  const double alpha = StandardisationAlpha(m.k15, m.vStandard0, m.vSample0, m.vStandard1, m.vSample1);
  if (!std::isfinite(alpha) || alpha <= 0.0)
    return Format("The cell constant ratio (alpha = %.7f) is not possible.\nCapture the readings again.", alpha);
  return {};
}

void RecomputeAlpha(MicroSalState& m) {
  const double alpha = StandardisationAlpha(m.k15, m.vStandard0, m.vSample0, m.vStandard1, m.vSample1);
  if (std::isfinite(alpha)) m.alpha = alpha;
}

void ShowStandardisation(const AppState& state, MicroSalState& m) {
  m.standardiseShown = true;
  const auto& a = state.calibration.coefficients[static_cast<size_t>(m.channelA)];
  const auto& b = state.calibration.coefficients[static_cast<size_t>(m.channelB)];
  m.alpha = a[1];
  m.vSample0 = a[1] != 0.0 ? -a[0] / a[1] : 0.0;
  m.vStandard0 = -b[0];
  m.vSample1 = m.storedSample1;
  m.vStandard1 = m.storedStandard1;
  m.k15 = m.storedK15;
  m.batch = "P000";
}

void CaptureStandardisation(MicroSalState& m, int button) {
  switch (button) {
    case 0: m.vStandard0 = m.averages[kSalB]; break;
    case 1: m.vSample0 = m.averages[kSalA]; break;
    default:
      m.vSample1 = m.averages[kSalA];
      m.vStandard1 = m.averages[kSalB];
      break;
  }
  RecomputeAlpha(m);
}

std::array<uint8_t, 33> EncodeStandardisationTable(double vStandard1, double vSample1, double k15,
                                                   const std::string& batch) {
  std::array<uint8_t, 33> t{};
  t[0] = 1;
  PutDouble(&t[1], vStandard1);
  PutDouble(&t[9], vSample1);
  PutDouble(&t[17], k15);
  for (size_t i = 0; i < 8 && i < batch.size(); ++i) t[25 + i] = static_cast<uint8_t>(batch[i]);
  return t;
}

bool DecodeStandardisationTable(const uint8_t* data, size_t count, MicroSalState& m) {
  if (count < 33 || data[0] != 1) return false;
  const double s1 = GetDouble(data + 1), a1 = GetDouble(data + 9), k = GetDouble(data + 17);
  if (!std::isfinite(s1) || !std::isfinite(a1) || !std::isfinite(k)) return false;
  m.storedStandard1 = s1;
  m.storedSample1 = a1;
  m.storedK15 = k;
  std::string batch;
  for (size_t i = 25; i < 33 && data[i] != 0; ++i) batch.push_back(static_cast<char>(data[i]));
  m.storedBatch = batch;
  return true;
}

Outcome AcceptStandardisation(AppState& state, MicroSalState& m) {
  if (m.batch.size() > 8) m.batch.resize(8);
  if (const std::string problem = StandardisationProblem(m); !problem.empty())
    return Outcome::Of(OutcomeKind::Refused, "%s", {Tr(state, problem)});
  m.alpha = StandardisationAlpha(m.k15, m.vStandard0, m.vSample0, m.vStandard1, m.vSample1);
  state.ui.SetStatusText(Tr(state, "The saving of the new standardisation values has started.\nPlease wait."), false);
  if (!ConnectLogger(state))
    return Outcome::Of(OutcomeKind::NoLogger, "Unable to connect to Micro-Salinometer to save standardisaton.");
  auto fail = [&](const char* why = "The saving of the new standardisation values has failed.\nTry again") {
    return Outcome::Of(OutcomeKind::Failed, why);
  };
  bool stopped = false;
  for (int tries = 0; tries < 5 && !stopped; ++tries) {
    StopLogger(state);
    stopped = StoppedStatus(LoggerStatus(state));
  }
  if (!stopped) return fail();
  // Keep the old coefficients until both writes went through.
  const CalibrationSet before = state.calibration;
  auto& a = state.calibration.coefficients[static_cast<size_t>(m.channelA)];
  auto& b = state.calibration.coefficients[static_cast<size_t>(m.channelB)];
  a = {-m.alpha * m.vSample0, m.alpha, 0.0, 0.0};
  b = {-m.vStandard0, 1.0, 0.0, 0.0};
  state.calibration.changedFlags |= 1;
  if (WriteCalibration(state) != 1) {
    state.calibration = before;
    return fail();
  }
  // The new coefficients without their table 06 would standardise the
  // instrument by half: once the calibration is in, a failed table write
  // puts the old coefficients back.
  // A table that may have gone in is put back too, when the old one was read.
  auto undo = [&](bool tableSent, const char* why) {
    state.calibration = before;
    state.calibration.changedFlags |= 1;
    WriteCalibration(state);
    state.calibration = before;
    if (tableSent && m.storedK15 > 0) {
      const auto old = EncodeStandardisationTable(m.storedStandard1, m.storedSample1, m.storedK15, m.storedBatch);
      std::array<uint8_t, 34> oldSent{};  // room for the sum SendTable appends
      std::copy(old.begin(), old.end(), oldSent.begin());
      SendTable(state, "S0600", old.size(), oldSent.data());
    }
    return fail(why);
  };
  auto table = EncodeStandardisationTable(m.vStandard1, m.vSample1, m.k15, m.batch);
  std::array<uint8_t, 34> sent{};
  std::copy(table.begin(), table.end(), sent.begin());
  if (!SendTable(state, "S0600", table.size(), sent.data())) return undo(false, "Microsal calibration send error");
  std::array<uint8_t, 64> back{};
  size_t count = 0;
  if (ReadTable(state, "R0600", back.data(), back.size(), &count) != 1)
    return undo(true, "Microsal calibration retrieve error");
  // The count read back includes the checksum byte.
  // What was written read back different: a verification that failed.
  if (count < table.size() || count > table.size() + 1 || !std::equal(table.begin(), table.end(), back.begin())) {
    undo(true, "");
    return Outcome::Of(OutcomeKind::VerificationFailed, "Microsal calibration compare error");
  }
  DecodeStandardisationTable(back.data(), count, m);
  if (!m.captureFile.empty()) {
    AppendToCapture(m, "\n\n" + Stamp("New Standardisation at: ", state.clock.LocalTime()) +
                           Format("Standard Seawater Batch=%s, K15=%.5f\n", m.batch.c_str(), m.k15) +
                           FiveValueBlock(m));
  }
  Box(state, "The saving of the new standardisation values was successful.\nPlease wait for the data communication "
      "to restart.", kAcceptTitle, MessageIcon::Information);
  return Outcome::Done();
}

bool OpenCaptureFile(AppState& state, MicroSalState& m, const std::string& path, const std::string& comment,
                     bool continuous) {
  {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) {
      Box(state, Format("Unable to open file: %s", path.c_str()), "Error");
      return false;
    }
  }
  m.captureFile = path;
  m.continuous = continuous;
  m.lastWrittenSecond = -1;
  std::string head = ConnectedText(state) + "\n\n";
  if (comment.size() > 1) head += comment + "\n\n";
  head += Stamp("File opened at: ", state.clock.LocalTime());
  head += Format("\nStandard Seawater Batch=%s, K15=%.5f\n", m.batch.c_str(), m.k15);
  head += FiveValueBlock(m);
  head += "Date & Time                                    Temp      Ratio Rt   Salinity  standard  ave\n";
  head += "mm/dd hh:mm:ss              Information        degrees_C             PSS-78  deviation  secs\n";
  if (!AppendToCapture(m, head)) {
    m.captureFile.clear();
    Box(state, Format("Unable to open file: %s", path.c_str()), "Error");
    return false;
  }
  return true;
}

bool OpenCaptureFileInteractive(AppState& state, MicroSalState& m) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(state.directories.work.empty() ? std::string(".") : state.directories.work) / "sal";
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec && !fs::is_directory(dir)) {
    Box(state, "Error: Unable to create 'sal' directory", kCaptureTitle);
    return false;
  }
  FileDialogRequest request;
  request.save = true;
  request.title = "Micro-Salinometer capture file";
  request.directory = dir.string();
  request.pattern = Format("%06d*.sal", state.logger.serialNumber);
  request.filter = "Micro-Salinometer files (*.sal)";
  const std::optional<std::string> chosen = state.ui.ChooseFile(request);
  if (!chosen) return false;
  std::string path = *chosen;
  if (fs::path(path).extension() != ".sal") path += ".sal";
  if (fs::exists(path) &&
      state.ui.MessageBox(Format(Tr(state, "%s already exists.\nContinue to overwrite this file?").c_str(), path.c_str()),
                          Tr(state, kCaptureTitle), MessageButtons::YesNo, MessageIcon::Question,
                          MessageAnswer::No) != MessageAnswer::Yes)
    return false;
  const bool continuous = state.ui.MessageBox(Tr(state, "Continuous data write to file?"),
                                              Tr(state, "Continuous or on demand write to file"),
                                              MessageButtons::YesNo, MessageIcon::Question,
                                              MessageAnswer::No) == MessageAnswer::Yes;
  const std::optional<std::string> typed = state.ui.AskText("Comment", "Comment for the capture file:");
  std::string comment = !typed ? "No comment" : typed->empty() ? "No comment entered" : *typed;
  if (comment.size() > 100) comment.resize(100);
  return OpenCaptureFile(state, m, path, comment, continuous);
}

bool CloseCaptureFile(AppState& state, MicroSalState& m) {
  if (m.captureFile.empty()) return true;
  if (state.ui.MessageBox(Format("Do you want to close the file: %s?", m.captureFile.c_str()), Tr(state, kCaptureTitle),
                          MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No) != MessageAnswer::Yes)
    return false;
  m.captureFile.clear();
  m.continuous = false;
  return true;
}

std::string CaptureLine(const MicroSalState& m, const std::string& information, const LoggerTime& now) {
  std::string info = information.substr(0, 31);
  std::replace(info.begin(), info.end(), ' ', '_');
  return Format("%02d/%02d %02d:%02d:%02d %30s %9.3f %9.5f %9.4f %9.5f %4d ", now.month, now.day, now.hour,
                now.minute, now.second, info.c_str(), m.averages[kSalT], m.averages[kSalRt], m.averages[kSalS],
                m.standardDeviation, m.averagingSeconds);
}

bool SaveNow(AppState& state, MicroSalState& m, const std::string& information, bool continuousMarker) {
  if (m.captureFile.empty()) return false;
  const LoggerTime now = state.clock.LocalTime();
  if (continuousMarker) {
    const int64_t second = state.clock.CalendarSeconds();
    if (now.second % 10 != 0 || second == m.lastWrittenSecond) return false;
    m.lastWrittenSecond = second;
  }
  return AppendToCapture(m, CaptureLine(m, information, now) + "\n");
}

std::vector<std::vector<int32_t>> TakeMicroSalRecords(std::vector<uint8_t>& bytes, int channelCount) {
  std::vector<std::vector<int32_t>> records;
  const size_t length = 3 * static_cast<size_t>(channelCount) + 13;
  size_t pos = 0;
  while (bytes.size() - pos >= length) {
    // The record starts after a run of zero bytes with its tag.
    size_t z = pos;
    while (z < bytes.size() && bytes[z] != 0) ++z;
    while (z < bytes.size() && bytes[z] == 0) ++z;
    if (z + 3 > bytes.size()) {
      pos = z >= 3 ? z - 3 : pos;
      break;
    }
    if (std::memcmp(&bytes[z], "TIM", 3) != 0) {
      pos = z;
      continue;
    }
    const size_t body = length - 3;  // tag to checksum
    if (bytes.size() - z < body) {
      pos = z - 3;
      break;
    }
    const uint8_t sum = Sum8(&bytes[z], body - 1);
    if (sum != bytes[z + body - 1]) {
      pos = z + 3;  // resynchronise on the next separator
      continue;
    }
    std::vector<int32_t> raw;
    for (int c = 0; c < channelCount; ++c) {
      const size_t at = z + 9 + 3 * static_cast<size_t>(c);
      raw.push_back((bytes[at] << 16) | (bytes[at + 1] << 8) | bytes[at + 2]);
    }
    records.push_back(std::move(raw));
    pos = z + body;
  }
  bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(pos, bytes.size())));
  if (bytes.size() > 250) bytes.erase(bytes.begin(), bytes.end() - 250);
  return records;
}

Outcome RunMicroSalinometer(AppState& state, MicroSalState& m) {
  SetMenuState(state, 4);
  auto end = [&](Outcome why) {
    SetMenuState(state, 5);
    return why;
  };
  if (const KnowResult known = KnowLogger(state, kKnowIdentity | kKnowCapabilities); known != KnowResult::Known)
    return end(UnknownOfLogger(state, known));
  if (!state.logger.microSalinometerLayout)
    return end(Outcome::Of(OutcomeKind::Refused,
                           "The logger connected is not a Micro-Salinometer\n or does not have some necessary feature."));
  const int status = LoggerStatus(state);
  if (!StoppedStatus(status) && !state.logger.retrievalFlag64)
    return end(Outcome::Of(OutcomeKind::Refused,
                           "Logging in progress or enabled.\nCannot operate the Micro-Salinometer at this time.\n\nUse 'Retrieve "
                           "data' menu item to stop logger - \n 'Retrieve Data' or 'STOP Logger' button."));
  if (KnowLogger(state, kKnowCapabilities | kKnowConfiguration | kKnowCalibration) == KnowResult::NoLogger)
    return end(UnknownOfLogger(state, KnowResult::NoLogger));
  if (Outcome calibration = EnsureCalibrationForCollection(state, m.calibrationChoice, kTitle); !calibration.Ok())
    return end(std::move(calibration));
  if (!MicroSalChannelsAsExpected(state, m))
    return end(Outcome::Of(OutcomeKind::Refused,
                           "Channel configuration is not as expected.\nCannot continue with the Micro-Salinometer operation."));
  std::array<uint8_t, 64> table{};
  size_t count = 0;
  if (ReadTable(state, "R0600", table.data(), table.size(), &count) == 1) DecodeStandardisationTable(table.data(), count, m);

  StopLogger(state);
  DeploymentSettings& d = state.deployment;
  // Whole seconds: the logger keeps no fractions, and the end time is read
  // back and compared exactly.
  LoggerTime now = state.clock.LocalTime();
  now.milliseconds = 0;
  d.startMode = kStartNow;
  d.sixHzMode = true;
  d.optionFlags = kOptionInhibitStorage;
  d.averagingEnabled = false;
  d.realTimeOutput = 1;
  d.realTimeBaud = 19200;
  d.realTimeBaudCode = 13;
  d.startTime = now;
  d.endTime = AddSeconds(now, 366 * 86400);
  SynchronizeClock(state);
  m.enableRun = EnableRun{};
  BeginEraseAndProgram(state, m.enableRun);
  m.receive.clear();
  m.running = true;
  m.setupPending = true;
  m.title = Format("VL-840 %06d", state.logger.serialNumber);
  m.text = "Setup:\n\nVL-840 setup in progress";
  m.progress = 0;
  for (auto& s : m.series) s.clear();
  m.history.clear();
  m.sampleCount = 0;
  m.historyFull = m.settled = false;
  for (auto& g : m.graph) g.clear();
  state.ui.SetStatusText(Tr(state, "Run Micro-Salinometer"), false);
  return Outcome::Done();
}

void MicroSalTick(AppState& state, MicroSalState& m) {
  if (!m.running) return;
  if (m.setupPending) {
    if (m.enableRun.running && m.enableRun.erasing) {
      m.progress = std::min(100, m.progress + 5);
      EnableTick(state, m.enableRun);
      return;
    }
    m.setupPending = false;
    return;
  }
  const int n = std::clamp(state.logger.channelCount, 3, kMaxChannels);
  const size_t length = 3 * static_cast<size_t>(n) + 13;
  std::array<uint8_t, 256> buffer{};
  const size_t room = std::min(length, 250 - std::min<size_t>(m.receive.size(), 250));
  const size_t got = room ? LinkRead(state, state.loggerLink, buffer.data(), room) : 0;
  m.receive.insert(m.receive.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got));
  for (const auto& raw : TakeMicroSalRecords(m.receive, n)) {
    const auto sample = MicroSalSampleFromRaw(state, m, raw[static_cast<size_t>(m.channelA)],
                                              raw[static_cast<size_t>(m.channelT)],
                                              raw[static_cast<size_t>(m.channelB)]);
    AddMicroSalSample(m, sample);
    if (m.continuous && !m.captureFile.empty()) SaveNow(state, m, "Continuous", true);
    if (m.graph[0].size() + 1 > static_cast<size_t>(kMicroSalGraphCapacity - 2)) {
      for (auto& g : m.graph) g.clear();
      m.graphOverflowed = true;
      state.ui.SetStatusText(Tr(state, "Graph cleared as data overflowed memory"), false);
    }
    m.graph[0].push_back(m.averages[kSalS]);
    m.graph[1].push_back(m.averages[kSalT]);
    m.graph[2].push_back(m.averages[kSalB]);
    m.graph[3].push_back(m.averages[kSalA]);
  }
}

void CloseMicroSalinometer(AppState& state, MicroSalState& m) {
  if (m.running) StopLogger(state);
  m.running = false;
  m.setupPending = false;
  m.captureFile.clear();
  m.continuous = false;
  m.text.clear();
  m.salinityText.clear();
  m.receive.clear();
  SetMenuState(state, 5);
}

}  // namespace tmv
