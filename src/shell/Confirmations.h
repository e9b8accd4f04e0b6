#pragma once
// Questions asked before an action a click cannot take back: each is
// answered by a button of its own, and Enter or Escape gives the safe answer.
#include <cstdint>

namespace tmv {

struct AppState;

// "Stop the logger? It will record nothing more until it is set up again."
// Asked before any dialog stops a logger that is enabled or logging; true
// when the user chose to stop it.
bool ConfirmStopLogger(AppState& state);

// "Cancel the download? The N bytes read so far are kept and can be saved."
// True when the user chose to end the download.
bool ConfirmCancelDownload(AppState& state, int64_t bytesRead);

}  // namespace tmv
