// The emulator served on a pseudo-terminal: started as its own process, it
// is found through the path it prints and answers through termios.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "support/ChildProcess.h"

namespace {

using tmv::test::SimProcess;

int OpenRaw(const std::string& path, speed_t speed) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return -1;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

// Reads until the text holds `until` or timeoutMs has passed.
std::string ReadUntil(int fd, const std::string& until, int timeoutMs) {
  std::string got;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (got.find(until) == std::string::npos && std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

TEST(SimPty, AnswersTheIdentityOnThePseudoTerminal) {
  SimProcess sim({"--model", "QN-760"});
  ASSERT_GT(sim.pid(), 0);
  const std::string path = sim.path();
  ASSERT_FALSE(path.empty());

  int fd = OpenRaw(path, B19200);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "A", 1), 1);
  EXPECT_EQ(ReadUntil(fd, "\r\n", 5000), "TMV QN-760 6.10 012345\r\n");

  // At another rate the logger hears only noise and stays quiet.
  close(fd);
  fd = OpenRaw(path, B9600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "A", 1), 1);
  EXPECT_EQ(ReadUntil(fd, "\r\n", 500), "");

  // A client that closed and came back finds the server still there.
  close(fd);
  fd = OpenRaw(path, B19200);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "A", 1), 1);
  EXPECT_NE(ReadUntil(fd, "\r\n", 5000).find("TMV QN-760"), std::string::npos);
  close(fd);
}

}  // namespace
