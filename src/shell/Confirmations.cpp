#include "shell/Confirmations.h"

#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

bool ConfirmStopLogger(AppState& state) {
  // Buttons that say what they do; the second (keep logging) is the default.
  const int answer = state.ui.AskWithButtons(
      Tr(state, "Stop the logger? It will record nothing more until it is set up again."), Tr(state, "Stop logger"),
      {Tr(state, "Stop logger"), Tr(state, "Keep logging")}, 1);
  return answer == 0;
}

bool ConfirmCancelDownload(AppState& state, int64_t bytesRead) {
  const int answer = state.ui.AskWithButtons(
      Format(Tr(state, "Cancel the download? The %lld bytes read so far are kept and can be saved.").c_str(),
             static_cast<long long>(bytesRead)),
      Tr(state, "Cancel download"), {Tr(state, "Cancel download"), Tr(state, "Continue download")}, 1);
  return answer == 0;
}

}  // namespace tmv
