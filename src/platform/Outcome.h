#pragma once
// How an operation of the core ended, as a value its caller reads. The core
// shows nothing of it: the shell and the faces turn it into a message box, a
// status text or an exit status, each from one table of its own.
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tmv {

enum class OutcomeKind {
  Done,                // done as asked
  Partial,             // done in part: what it produced says how far it got
  NoLogger,            // no logger answered, or the link to it was lost
  Refused,             // refused, or the logger is not in the state asked for
  VerificationFailed,  // a value written read back different
  Failed,              // failed for another reason: an exchange, a file
  Cancelled,           // the person (or a signal) ended it
};

struct Outcome {
  OutcomeKind kind = OutcomeKind::Done;
  // The reason: a text of the message catalogue in its English form (the
  // key), and the values of its printf conversions, in order, as text.
  std::string key;
  std::vector<std::string> args;

  bool Ok() const { return kind == OutcomeKind::Done; }
  bool operator==(const Outcome&) const = default;
  static Outcome Done() { return {}; }
  static Outcome Of(OutcomeKind kind, std::string key, std::vector<std::string> args = {}) {
    return Outcome{kind, std::move(key), std::move(args)};
  }
};

// A question an operation puts before it goes on, in the person's language.
// The caller answers it: the desktop asks the person, tmv-cli answers from
// its options. true goes on.
struct Question {
  std::string text;
  std::string caption;
};
using Confirm = std::function<bool(const Question&)>;

// The reason with its arguments in place of the key's conversions (%d, %s,
// %u, %.1f ...: each takes the next argument as it stands; %% is a percent
// sign). `text` is the key as the person's language gives it.
std::string OutcomeText(const Outcome& outcome, const std::string& text);
inline std::string OutcomeText(const Outcome& outcome) { return OutcomeText(outcome, outcome.key); }

}  // namespace tmv
