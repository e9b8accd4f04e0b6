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
  char b[64];
  if (c[2] == 'C') {
    const int file = std::atoi(c.substr(4).c_str());
    auto it = p.cardFiles.find(file);
    Queue(it == p.cardFiles.end() ? std::string("File not found\r\n") : it->second, at);
    return;
  }
  switch (HexByte(c, 2)) {
    case 0: std::snprintf(b, sizeof b, "%08Xx MMS", p.cardSizeKb); Text(b, at); return;
    case 4: Text(p.cardType + "MMD", at); return;
    case 2:
      std::snprintf(b, sizeof b, "%08dMMF", p.cardFiles.empty() ? 0 : p.cardFiles.begin()->first);
      Text(b, at);
      return;
    case 3:
      std::snprintf(b, sizeof b, "%08dMML", (p.cardFiles.empty() ? 0 : p.cardFiles.rbegin()->first) + f.cardOverclaim);
      Text(b, at);
      return;
    default: Unknown(at); return;
  }
}

}  // namespace tmv::sim
