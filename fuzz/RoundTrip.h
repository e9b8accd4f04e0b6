#pragma once
// What the work-file targets check besides memory safety: whatever a reader
// accepted, the program writes back in a form it reads as the same thing, so
// that one save and load never changes or loses a setting.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tmv::fuzz {

inline void RequireSameText(const std::string& written, const std::string& rewritten, const char* file) {
  if (written == rewritten) return;
  std::fprintf(stderr, "%s does not read back as written:\n--- written\n%s--- read back and written again\n%s",
               file, written.c_str(), rewritten.c_str());
  std::abort();
}

}  // namespace tmv::fuzz
