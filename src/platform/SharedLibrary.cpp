#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace tmv {

SharedLibrary SharedLibrary::Open(const std::string& name, std::string& error) {
  SharedLibrary library;
  dlerror();
  library.handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (library.handle_ == nullptr) {
    const char* why = dlerror();
    error = why ? why : name + ": cannot be loaded";
  }
  return library;
}

void* SharedLibrary::Symbol(const char* symbol, std::string& error) const {
  if (handle_ == nullptr) {
    error = "library not loaded";
    return nullptr;
  }
  dlerror();
  void* address = dlsym(handle_, symbol);
  if (address == nullptr) {
    const char* why = dlerror();
    error = why ? why : std::string(symbol) + ": not found";
  }
  return address;
}

}  // namespace tmv
