// A private Xvfb server for tests of the X11 display, and running X tools (xdotool) against it
// while the test's own thread sits in a modal loop.
#ifndef RK_TESTS_SUPPORT_XVFBSERVER_H
#define RK_TESTS_SUPPORT_XVFBSERVER_H

#include "HostPrograms.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

class XvfbServer {
 public:
  XvfbServer() = default;
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;
  ~XvfbServer() { stop(); }

  // Starts the server with one screen of the given size and points DISPLAY at it (the old value
  // comes back on stop). False when Xvfb is missing or does not start.
  bool start(const char* screen = "800x600x24") {
    std::string xvfb = findProgram("Xvfb");
    if (xvfb.empty()) return false;
    int fds[2];
    if (pipe(fds) != 0) return false;
    std::string fdText = std::to_string(fds[1]);
    // No auto-repeat: a key whose release comes late on a loaded machine must not type again.
    std::vector<std::string> args = {xvfb, "-displayfd", fdText, "-screen", "0", screen, "-nolisten", "tcp", "-r"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    int spawned = posix_spawn(&server, xvfb.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    if (spawned != 0) {
      server = 0;
      close(fds[0]);
      return false;
    }
    std::string number;
    pollfd p = {fds[0], POLLIN, 0};
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < end && poll(&p, 1, 100) >= 0) {
      char c;
      if (!(p.revents & (POLLIN | POLLHUP))) continue;
      if (read(fds[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    close(fds[0]);
    if (number.empty()) {
      stop();
      return false;
    }
    const char* d = getenv("DISPLAY");
    hadDisplay = d != nullptr;
    if (d) oldDisplay = d;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
  }

  void stop() {
    if (server > 0) {
      kill(server, SIGTERM);
      waitpid(server, nullptr, 0);
      server = 0;
      if (hadDisplay)
        setenv("DISPLAY", oldDisplay.c_str(), 1);
      else
        unsetenv("DISPLAY");
    }
  }

  // Starts a program without waiting (0 on failure); finish() collects its exit code.
  static pid_t launch(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return 0;
    return pid;
  }
  // Waits up to ms for the program; kills it when it is still running then (the bound only ends
  // a broken run). Its exit code, or -1.
  static int finish(pid_t pid, int ms = 60000) {
    if (pid <= 0) return -1;
    int status = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
      }
      usleep(5000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static int run(const std::vector<std::string>& args, int ms = 60000) { return finish(launch(args), ms); }

 private:
  pid_t server = 0;
  std::string oldDisplay;
  bool hadDisplay = false;
};

#endif
