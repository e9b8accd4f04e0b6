#pragma once
// The GPS test dialog: opens the GPS port, shows the sentences as they come
// and the position parsed from them, one read per tick of 150 ms.
#include <cstdint>
#include <deque>
#include <string>

#include "platform/Outcome.h"

namespace tmv {

struct AppState;

class GpsTestDialog {
 public:
  static constexpr int kTickMs = 150;
  static constexpr size_t kShownSentences = 100;  // the list keeps the newest

  explicit GpsTestDialog(AppState& state);
  ~GpsTestDialog();
  GpsTestDialog(const GpsTestDialog&) = delete;
  GpsTestDialog& operator=(const GpsTestDialog&) = delete;

  // Opens the GPS port; false, with the reason in result (Refused: no GPS
  // port is set; Failed: it cannot be opened), for the caller to show.
  bool Open();
  Outcome result;
  // One tick: reads what the GPS sent. true when a new position was parsed.
  // When the GPS port has gone away, a message box says so and the dialog
  // closes its port (Lost()).
  bool Step();
  // Closes the GPS port (also done by the destructor).
  void Close();

  bool IsOpen() const { return open_; }
  bool Lost() const { return lost_; }
  // Received sentences, oldest first; rejected ones end in "  (rejected)".
  const std::deque<std::string>& Sentences() const { return sentences_; }
  // The latest position (" %.4f,%c,%.4f,%c"), or "No position yet".
  std::string PositionText() const;
  // "Positions: %llu   Rejected: %llu"
  std::string CountsText() const;
  // Sentences received since Open, the ones no longer listed included.
  uint64_t Received() const { return received_; }
  // Positions parsed since Open, newest last (the list keeps kShownSentences).
  const std::deque<std::string>& Positions() const { return positions_; }
  uint64_t PositionCount() const { return positionCount_; }
  // Grows with every change, so that a face knows when to redraw.
  uint64_t Version() const { return version_; }

 private:
  AppState& state_;
  bool open_ = false;
  bool lost_ = false;
  std::deque<std::string> sentences_;
  std::deque<std::string> positions_;
  uint64_t received_ = 0;
  uint64_t positionCount_ = 0;
  uint64_t version_ = 0;
};

}  // namespace tmv

