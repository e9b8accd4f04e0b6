#pragma once
// An outcome's reason as the person reads it, in the current language.
#include <string>
#include <string_view>

#include "platform/Outcome.h"

namespace tmv {

struct AppState;

std::string Describe(const AppState& state, const Outcome& outcome);
// The desktop's one table from outcomes to what the person sees: nothing for
// Done and Cancelled (the person chose it), the status line for a logger
// that did not answer, a message box titled `caption` for the rest.
void ShowOutcome(AppState& state, const Outcome& outcome, std::string_view caption);

}  // namespace tmv
