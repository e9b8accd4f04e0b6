// Fuzz target: the bytes are a memory card's replies to the directory
// queries and to a file's contents, one reply per query, cut at each 0xFF
// byte; the card dialog refreshes and then lists file 1.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cards/MmcSdCard.h"
#include "support/ScriptedPort.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> replies(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF) replies.emplace_back();
    else replies.back().push_back(static_cast<char>(data[i]));
  }
  for (const std::string& reply : replies) {
    unsigned sizeKb = 0;
    (void)tmv::ParseCardSize(reply, sizeKb);
    std::string text;
    for (const char* tag : {"MMD", "MMF", "MML"}) (void)tmv::CardTextBefore(reply, tag, text);
  }

  tmv::test::ScriptedRig rig;
  size_t next = 0;
  rig.line.responder = [&](tmv::test::ScriptedLine& line, const std::string&) {
    if (next < replies.size()) line.Send(replies[next++]);
  };
  rig.OpenAt(19200);
  tmv::MmcSdProc dialog;
  dialog.open = true;
  dialog.Refresh(rig.state);
  for (int tick = 0; tick < 200 && dialog.Busy(); ++tick) {
    rig.clock.Advance(tmv::MmcSdProc::kTickMs);
    dialog.Tick(rig.state);
  }
  dialog.fileNumberField = "1";
  dialog.GetContents(rig.state);
  return 0;
}
