#include "model/KnowLogger.h"

#include "link/Connection.h"
#include "model/Calibration.h"
#include "model/Capabilities.h"
#include "model/ConfigTable.h"
#include "shell/AppState.h"

namespace tmv {

KnowResult KnowLogger(AppState& state, unsigned needs) {
  // Each part is read in terms of the ones before it.
  if (needs & kKnowCalibration) needs |= kKnowConfiguration;
  if (needs & kKnowConfiguration) needs |= kKnowCapabilities;

  if ((needs & kKnowIdentity) && !Reconnect(state)) return KnowResult::NoLogger;
  if (needs & kKnowCapabilities) AssessCapabilities(state);
  if (needs & kKnowConfiguration) {
    const int config = GetConfigTable(state);
    if (config == -1) return KnowResult::NotConfigured;
    if (config != 1) return KnowResult::ConfigurationUnknown;
  }
  if ((needs & kKnowCalibration) && ReadCalibration(state) != 1) return KnowResult::CalibrationUnreadable;
  return KnowResult::Known;
}

}  // namespace tmv
