// Placeholders until the logger model lands; they report "not available".
#include "model/ConfigTable.h"
#include "shell/AppState.h"
#include "shell/StatusLine.h"

namespace tmv {

int GetConfigTable(AppState& state) {
  ShowStatus(state, "Configuration table not available");
  return 0;
}

}  // namespace tmv
