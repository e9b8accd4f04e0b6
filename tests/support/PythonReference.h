#pragma once
// Independent references in Python (numpy, netCDF4) for the tests that
// compare the program with them. Where no Python 3 has the module the test
// skips: the references are optional packages, the program does not need them.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace tmv::test {

// A Python 3 interpreter that imports `module`; empty when none does.
inline std::string PythonWith(const std::string& module) {
  // The distribution's interpreter too: a user's own python3 first on the
  // PATH often lacks the distribution's packages.
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    const std::string probe = std::string(python) + " -c 'import " + module + "' >/dev/null 2>&1";
    if (std::system(probe.c_str()) == 0) return python;
  }
  return {};
}

// The standard output of a shell command, and its exit status.
struct CommandOutput {
  int status = -1;
  std::string text;
};
inline CommandOutput RunCommand(const std::string& command) {
  CommandOutput out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.text.append(buffer, n);
  out.status = pclose(pipe);
  return out;
}

// The value after "name " on a line of "name value" lines; NaN when absent.
inline double NamedValue(const std::string& text, const std::string& name) {
  std::istringstream lines(text);
  std::string key;
  double value;
  while (lines >> key >> value)
    if (key == name) return value;
  return std::nan("");
}

}  // namespace tmv::test
