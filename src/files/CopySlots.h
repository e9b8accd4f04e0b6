#pragma once
// The limit of eight running copies of the program. Each running copy holds
// a lock on one slot file in the work directory (tmv.copy1.lock ..
// tmv.copy8.lock) for as long as it runs; the lock goes with the process, so
// a copy that crashed leaves its slot free.
#include <string>

namespace tmv {

struct AppState;

constexpr int kMaxCopies = 8;

class CopySlots {
 public:
  CopySlots() = default;
  ~CopySlots();
  CopySlots(const CopySlots&) = delete;
  CopySlots& operator=(const CopySlots&) = delete;

  // Takes the first free slot and holds it. Returns the copy index k (0 for
  // the first copy), or -1 when all eight slots are held. When the slot
  // files cannot be made at all the copy runs as the first one, holding
  // nothing.
  int TakeFirstFreeSlot(const std::string& workDirectory);
  void Release();

  int CopyIndex() const { return index_; }        // -1 before a slot was taken
  int CopyNumber() const { return index_ + 1; }   // 1..8
  // "" for the first copy, else "Copy %-2d: " of the copy number.
  std::string TitlePrefix() const;
  int WindowOffsetX() const { return index_ > 0 ? 20 * index_ : 0; }
  int WindowOffsetY() const { return index_ > 0 ? 30 * index_ : 0; }

 private:
  int fd_ = -1;
  int index_ = -1;
};

// The start-up rule: at most eight copies; a later copy runs only when
// tmv_copies.ini allows multiple copies (else it ends silently) and the user
// confirms it. Sets state.shell.copyNumber (1..8). 1: go on; 0: end the program.
int CheckCopies(AppState& state, CopySlots& slots);

}  // namespace tmv
