// Runs a shell command and keeps what it printed and how it ended.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace tovrin::test {

struct CommandRun {
  int status = -1;  // the exit status; -1 when it did not exit normally
  std::string out;
};

inline CommandRun RunCommand(const std::string& command) {
  CommandRun r;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

}  // namespace tovrin::test
