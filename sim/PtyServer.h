#pragma once
// What the two emulator servers (logger and GPS) share: a raw pseudo-terminal
// whose slave path clients open, stop signals taken synchronously, and bytes
// the terminal could not take yet kept for the next write.
#include <termios.h>

#include <string>

namespace tmv::sim {

struct PtyServer {
  int master = -1;
  int slave = -1;  // held open so the master stays usable while no client has it
  std::string slavePath;

  ~PtyServer();
};

// Blocks SIGTERM and SIGINT (StopRequested sees them) and ignores SIGPIPE.
void TakeStopSignalsSynchronously();
bool StopRequested();

// Opens a raw pseudo-terminal at `speed` (B0: left as it is) with a
// non-blocking master. false, with `program`'s message on stderr, on failure.
bool OpenPtyServer(const char* program, speed_t speed, PtyServer& pty);

// Writes what the master takes of `pending` and keeps the rest.
void WritePending(int master, std::string& pending);

}  // namespace tmv::sim
