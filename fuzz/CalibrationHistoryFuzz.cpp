// Fuzz target: the calibration history (<serial>.<k>.his), listed from the
// calibration records a logger sends back. The bytes become the logger's
// replies, as in ExchangeFuzz: byte 0 picks the logger family, the rest is
// cut into replies at each 0xFF byte; 0xFE takes the next byte as it is, so
// that records (which hold 0xFF) can be sent whole.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/CalibrationHistory.h"
#include "support/ScriptedPort.h"

namespace {

// One scratch directory per fuzzing process; every run removes its file.
const std::string& ScratchDirectory() {
  static const std::string directory = [] {
    char name[] = "/tmp/tmv-his-fuzz-XXXXXX";
    if (mkdtemp(name) == nullptr) std::abort();
    return std::string(name);
  }();
  return directory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t config = data[0];
  std::vector<std::string> replies(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0xFF) replies.emplace_back();
    else if (data[i] == 0xFE && i + 1 < size) replies.back().push_back(static_cast<char>(data[++i]));
    else replies.back().push_back(static_cast<char>(data[i]));
  }

  tmv::test::ScriptedRig rig;
  size_t next = 0;
  rig.line.responder = [&](tmv::test::ScriptedLine& line, const std::string&) {
    if (next < replies.size()) line.Send(replies[next++]);
  };
  tmv::LoggerInfo& l = rig.state.logger;
  static const char* const kModels[] = {"QN-760", "QN-730", "KM-3170", "PM-5170"};
  l.model = kModels[config & 3];
  l.microchipLogger = (config & 4) != 0;
  l.firmwareVersion = l.microchipLogger ? 6.16f : ((config & 8) ? 4.2f : 1.2f);
  l.channelCount = 1 + (config >> 4);
  l.serialNumber = 12345;
  rig.OpenAt(19200);

  const tmv::CalibrationHistory history = tmv::WriteCalibrationHistory(rig.state, ScratchDirectory());
  if (!history.path.empty()) std::remove(history.path.c_str());
  return 0;
}
