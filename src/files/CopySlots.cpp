#include "files/CopySlots.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "files/SettingsFile.h"
#include "files/WorkFiles.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

CopySlots::~CopySlots() { Release(); }

void CopySlots::Release() {
  if (fd_ >= 0) {
    ::close(fd_);  // closing the descriptor drops its lock
    fd_ = -1;
  }
  index_ = -1;
}

int CopySlots::TakeFirstFreeSlot(const std::string& workDirectory) {
  Release();
  std::string base = workDirectory.empty() ? std::string(".") : workDirectory;
  if (base.back() != '/') base += '/';
  bool anyOpened = false;
  for (int k = 0; k < kMaxCopies; ++k) {
    const std::string path = base + "tmv.copy" + std::to_string(k + 1) + ".lock";
    // Each open makes its own open file description, so two slot objects in
    // one process contend just as two processes do.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) continue;
    anyOpened = true;
    int rc;
    do {
      rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
      fd_ = fd;
      index_ = k;
      return k;
    }
    ::close(fd);
  }
  if (!anyOpened) {
    // No way to tell which copies run (e.g. a read-only directory): run as
    // the first copy rather than refuse to start.
    index_ = 0;
    return 0;
  }
  return -1;
}

std::string CopySlots::TitlePrefix() const {
  if (index_ <= 0) return "";
  char text[32];
  std::snprintf(text, sizeof text, "Copy %-2d: ", index_ + 1);
  return text;
}

int CheckCopies(AppState& state, CopySlots& slots) {
  const int k = slots.TakeFirstFreeSlot(WorkDirectory(state));
  if (k < 0) {
    state.ui.MessageBox(Tr(state,
                           "8 copies of the TMV Data Loggers program are now running.\nThis is the limit allowed.\n\n"
                           "This attempt to run another copy will terminate."),
                        Tr(state, "Multiple copies"), MessageButtons::Ok, MessageIcon::Exclamation,
                        MessageAnswer::Ok);
    return 0;
  }
  if (k == 0) {
    state.shell.copyNumber = 1;
    return 1;
  }
  if (!ReadAllowMultipleCopies(state)) {
    slots.Release();
    return 0;
  }
  const std::string question =
      Tr(state, "You are trying to open copy number %d of the TMV Data Loggers program.\nDo you want to continue?");
  const MessageAnswer answer =
      state.ui.MessageBox(Format(question.c_str(), k + 1), Tr(state, "TMV Data Loggers - Multiple copy"),
                          MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No);
  if (answer != MessageAnswer::Yes) {
    slots.Release();
    return 0;
  }
  state.shell.copyNumber = k + 1;
  return 1;
}

}  // namespace tmv
