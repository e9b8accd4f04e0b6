#include "CliCommand.h"

#include <utility>

namespace tmv::cli {

namespace {
// A function-local list, so that registration from any file's static
// initialiser finds it constructed.
std::vector<CliCommandInfo>& Registry() {
  static std::vector<CliCommandInfo> commands;
  return commands;
}
}  // namespace

bool RegisterCliCommand(CliCommandInfo info) {
  if (info.name.empty() || info.run == nullptr) return false;
  for (const auto& c : Registry())
    if (c.name == info.name) return false;
  Registry().push_back(std::move(info));
  return true;
}

const std::vector<CliCommandInfo>& CliCommands() { return Registry(); }

}  // namespace tmv::cli
