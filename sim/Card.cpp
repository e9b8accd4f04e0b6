// The emulated logger's MMC/SD memory card queries.
#include "sim/EmulatorImpl.h"

namespace tmv::sim {

void LoggerEmulator::Impl::Card(const std::string& c, int64_t at) {
  if (p.cardType.empty()) {
    Unknown(at);
    return;
  }
  if (f.cardSilent) return;
  if (auto own = f.cardReplies.find(c); own != f.cardReplies.end()) {
    Queue(own->second, at);
    return;
  }
  // A directory reply, in two parts when the card is set to answer slowly.
  auto reply = [&](const std::string& text) {
    const std::string line = text + "\r\n";
    if (f.cardSplitMs <= 0) {
      Queue(line, at);
      return;
    }
    const size_t half = line.size() / 2;
    Queue(line.substr(0, half), at);
    Queue(line.substr(half), at + static_cast<int64_t>(f.cardSplitMs) * 1000);
  };
  char b[64];
  if (c[2] == 'C') {
    const int file = std::atoi(c.substr(4).c_str());
    auto it = p.cardFiles.find(file);
    Queue(it == p.cardFiles.end() ? std::string("File not found\r\n") : it->second, at);
    return;
  }
  switch (HexByte(c, 2)) {
    case 0: std::snprintf(b, sizeof b, "%08Xx MMS", p.cardSizeKb); reply(b); return;
    case 4: reply(p.cardType + "MMD"); return;
    case 2:
      std::snprintf(b, sizeof b, "%08dMMF", p.cardFiles.empty() ? 0 : p.cardFiles.begin()->first);
      reply(b);
      return;
    case 3:
      std::snprintf(b, sizeof b, "%08dMML", (p.cardFiles.empty() ? 0 : p.cardFiles.rbegin()->first) + f.cardOverclaim);
      reply(b);
      return;
    default: Unknown(at); return;
  }
}

}  // namespace tmv::sim
