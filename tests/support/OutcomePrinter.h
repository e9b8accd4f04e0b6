#pragma once
// Lets a failed expectation on an outcome print its kind and reason.
#include <ostream>

#include "platform/Outcome.h"

namespace tmv {

inline void PrintTo(const Outcome& outcome, std::ostream* os) {
  static const char* const kNames[] = {"Done", "Partial", "NoLogger", "Refused", "VerificationFailed", "Failed", "Cancelled"};
  *os << kNames[static_cast<int>(outcome.kind)];
  if (!outcome.key.empty()) *os << " \"" << OutcomeText(outcome) << "\"";
}

}  // namespace tmv
