#include "retrieval/GpsTest.h"

#include "link/LoggerLink.h"
#include "retrieval/Gps.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

GpsTestDialog::GpsTestDialog(AppState& state) : state_(state) {}

GpsTestDialog::~GpsTestDialog() { Close(); }

bool GpsTestDialog::Open() {
  result = Outcome::Done();
  const auto fail = [this](OutcomeKind kind, const std::string& text) {
    result = Outcome::Of(kind, "%s", {text});
    return false;
  };
  if (state_.ports.gpsPort == 0)
    return fail(OutcomeKind::Refused, Tr(state_, "No GPS port has been selected.\nChoose one in the COM settings."));
  if (!OpenGpsLink(state_))
    return fail(OutcomeKind::Failed,
                FormatWithPort(Tr(state_, "Unable to open COM%1d - bad port setting or another application holds the port."),
                               state_, state_.ports.gpsPort));
  // Start clean: what an earlier session left half-read is not this GPS's.
  lost_ = false;
  state_.gps.fill = 0;
  state_.gps.otherSentences = 0;
  state_.gps.onSentence = [this](std::string_view sentence, NmeaResult result) {
    std::string line(sentence);
    if (result == NmeaResult::Rejected) line += "  (rejected)";
    if (result == NmeaResult::Position) {
      positions_.push_back(state_.gps.positionText);
      ++positionCount_;
      while (positions_.size() > kShownSentences) positions_.pop_front();
    }
    sentences_.push_back(std::move(line));
    ++received_;
    while (sentences_.size() > kShownSentences) sentences_.pop_front();
    ++version_;
  };
  open_ = true;
  ++version_;
  return true;
}

bool GpsTestDialog::Step() {
  if (!open_) return false;
  const bool position = ReadGpsPosition(state_) == 1;
  if (!position && LinkLost(state_.gpsLink)) {
    state_.ui.MessageBox(FormatWithPort(Tr(state_, "The GPS on COM%1d has gone."), state_, state_.ports.gpsPort),
                         Tr(state_, "GPS Test"), MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
    lost_ = true;
    Close();
    return false;
  }
  if (!position) return false;
  ++version_;
  return true;
}

void GpsTestDialog::Close() {
  if (!open_) return;
  open_ = false;
  state_.gps.onSentence = nullptr;
  CloseLink(state_, state_.gpsLink, state_.ports.gpsPort);
  ++version_;
}

std::string GpsTestDialog::PositionText() const {
  return state_.gps.positionText.empty() ? std::string("No position yet") : state_.gps.positionText;
}

std::string GpsTestDialog::CountsText() const {
  return Format("Positions: %llu   Rejected: %llu", static_cast<unsigned long long>(state_.gps.positions),
                static_cast<unsigned long long>(state_.gps.rejected));
}

}  // namespace tmv
