#pragma once
// A shared library loaded when a feature first needs it, so that a program
// starts without loading what most of its runs never use.
#include <string>

namespace tmv {

class SharedLibrary {
 public:
  // Loads `name` (a soname such as "libnetcdf.so.19", or a path); on failure
  // the result is not loaded and `error` says why. A loaded library stays
  // loaded until the process ends: libraries such as HDF5 register exit
  // handlers that must not outlive their code.
  static SharedLibrary Open(const std::string& name, std::string& error);

  bool Loaded() const { return handle_ != nullptr; }
  // The address of `symbol`, or nullptr with `error` set.
  void* Symbol(const char* symbol, std::string& error) const;

 private:
  void* handle_ = nullptr;
};

}  // namespace tmv
