#include "model/LatencyDialog.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "link/Connection.h"
#include "link/Exchange.h"
#include "model/ConfigTable.h"
#include "model/KnowLogger.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

namespace {

Outcome Unreadable() { return Outcome::Of(OutcomeKind::Failed, "Unable to read current configuration table"); }

bool ParseLatency(const std::string& text, long& ms) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  ms = std::strtol(begin, &end, 10);
  if (end == begin || errno != 0) return false;
  while (*end == ' ') ++end;
  return *end == '\0' && ms >= 0 && ms <= LatencyDialog::kMaximumMs;
}

}  // namespace

bool LatencyDialog::Open(AppState& state) {
  open = false;
  state.logger.configurationStale = true;
  // Only a table 01 read from the logger can be written back.
  if (KnowLogger(state, kKnowConfiguration) != KnowResult::Known || state.logger.configTableImage.size() < 5) {
    result = Unreadable();
    return false;
  }
  field = Format("%d", state.logger.latencyMs);
  open = true;
  return true;
}

bool LatencyDialog::Ok(AppState& state) {
  long ms = 0;
  result = Outcome::Done();
  told = false;
  if (!ParseLatency(field, ms)) {
    result = Outcome::Of(OutcomeKind::Refused, "Required Latency (ms) must be a whole number from 0 to %ld.",
                         {std::to_string(kMaximumMs)});
    return false;
  }
  LoggerInfo& info = state.logger;
  std::vector<uint8_t> image = info.configTableImage;
  if (image.size() < 5) {
    result = Unreadable();
    return false;
  }
  const int serial = info.serialNumber;
  // The image belongs to this logger: another one on the line must not receive it.
  if (ConnectLogger(state) != 1) {
    result = Outcome::Of(OutcomeKind::NoLogger, "Unable to connect to logger");
    return false;
  }
  if (info.serialNumber != serial) {
    result = Unreadable();
    return false;
  }
  const long tens = ms / 10;
  image[1] = static_cast<uint8_t>(tens & 0xFF);
  image[2] = static_cast<uint8_t>((tens >> 8) & 0xFF);
  if (WriteTableVerified(state, 1, image.data(), image.size()) != 1) {
    result = Outcome::Of(OutcomeKind::Failed, "The latency was not written: the configuration table did not go in as sent.");
    told = true;
    return false;
  }
  info.configTableImage = image;
  info.configurationStale = true;
  open = false;
  return true;
}

void LatencyDialog::Cancel() { open = false; }

}  // namespace tmv
