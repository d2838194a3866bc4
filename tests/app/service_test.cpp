// tovrin-batch under a service manager: what it tells a socket of the
// test's own standing in for systemd's NOTIFY_SOCKET (ready, status,
// watchdog pings while it waits, while a job runs and not while it is
// frozen, stopping), and the settings read again on SIGHUP.
#include <gtest/gtest.h>
#include <iconv.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "batch_process.h"
#include "drawing_files.h"
#include "platform/cp932.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using namespace std::chrono_literals;
using test::Batch;
using test::TempFolder;
using test::WaitFor;

// The manager's end of NOTIFY_SOCKET: every line of every message received.
class NotifySocket {
 public:
  explicit NotifySocket(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
  }
  ~NotifySocket() { ::close(fd_); }

  // True once a line `line` came within `limit`.
  bool WaitFor(const std::string& line, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      std::vector<std::string> message = Next(left);
      for (const std::string& got : message)
        if (got == line) return true;
    }
  }
  // Reads what has come so far.
  void Drain() {
    while (!Next(0ms).empty()) {}
  }

  std::vector<std::string> seen;

 private:
  std::vector<std::string> Next(std::chrono::milliseconds limit) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(limit.count())) <= 0) return {};
    char buffer[4096];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    std::vector<std::string> lines;
    for (size_t at = 0; n > 0 && at < static_cast<size_t>(n);) {
      size_t end = std::string_view(buffer, n).find('\n', at);
      if (end == std::string::npos) end = n;
      lines.emplace_back(buffer + at, end - at);
      at = end + 1;
    }
    seen.insert(seen.end(), lines.begin(), lines.end());
    return lines;
  }

  int fd_ = -1;
};

bool ValidUtf8(std::string text) {
  iconv_t cd = ::iconv_open("UTF-8", "UTF-8");
  std::string out(text.size() * 4 + 4, '\0');
  char* in = text.data();
  char* to = out.data();
  size_t in_left = text.size(), out_left = out.size();
  const bool ok = ::iconv(cd, &in, &in_left, &to, &out_left) != static_cast<size_t>(-1);
  ::iconv_close(cd);
  return ok;
}

// As systemd starts a Type=notify unit with WatchdogSec=0.4.
test::BatchEnv UnderManager(const std::string& socket) {
  return {{"NOTIFY_SOCKET=" + socket, "WATCHDOG_USEC=400000"}, {"WATCHDOG_PID"}};
}

const std::vector<std::string> kKeep = {"--set", "OfiOut=ﾌｧｲﾙ", "--settle", "0"};

std::vector<std::string> Poller(std::vector<std::string> args = kKeep) {
  args.insert(args.end(), {"--watch", "30"});
  return args;
}

TEST(ServiceManager, ReadyStatusPingsAndStopping) {
  TempFolder dir;
  NotifySocket manager(dir / "notify");
  // A name no status line may carry as it is: a control character, a
  // newline, bytes that are no UTF-8 (a lone byte, a surrogate, an overlong).
  const std::string name = "A\x01\n\xff\xed\xa0\x80\xe0\x80\x80Z.OFI";
  test::WriteBytes(dir / name, test::LinesDrawing("NAMED"));
  Batch poller(dir, Poller(), {}, UnderManager(dir / "notify"));
  ASSERT_TRUE(manager.WaitFor("READY=1", 10s)) << poller.Output();
  ASSERT_TRUE(WaitFor([&] { return dir.Exists(name.substr(0, name.size() - 4) + ".GLF"); }));

  // Pings while it waits for the next listing, none while it is frozen.
  EXPECT_TRUE(manager.WaitFor("WATCHDOG=1", 1s));
  EXPECT_TRUE(manager.WaitFor("WATCHDOG=1", 1s));
  ASSERT_EQ(::kill(poller.Pid(), SIGSTOP), 0);
  std::this_thread::sleep_for(50ms);
  manager.Drain();
  EXPECT_FALSE(manager.WaitFor("WATCHDOG=1", 1s));
  ASSERT_EQ(::kill(poller.Pid(), SIGCONT), 0);
  EXPECT_TRUE(manager.WaitFor("WATCHDOG=1", 1s));

  EXPECT_EQ(poller.Stop(SIGTERM), 0);
  EXPECT_TRUE(manager.WaitFor("STOPPING=1", 1s));
  bool status_seen = false;
  for (const std::string& line : manager.seen) {
    const std::string key = line.substr(0, line.find('=') + 1);
    EXPECT_TRUE(key == "READY=" || key == "STATUS=" || key == "WATCHDOG=" || key == "STOPPING=")
        << "a line of its own: " << line;
    EXPECT_TRUE(ValidUtf8(line)) << line;
    if (line.starts_with("STATUS=plotted 1, not plotted 0, waiting 0, last A")) {
      status_seen = true;
      EXPECT_NE(line.find("Z.OFI finished"), std::string::npos) << line;
    }
  }
  EXPECT_TRUE(status_seen) << poller.Output();
}

TEST(ServiceManager, AJobThatWaitsForADrawingKeepsPinging) {
  TempFolder dir;
  NotifySocket manager(dir / "notify");
  test::WriteBytes(dir / "A.OFI", test::LinesDrawing("FRESH"));
  // One job, waiting two seconds for the drawing to settle.
  Batch job(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--settle", "2"}, {}, UnderManager(dir / "notify"));
  // (Read as the manager does: a datagram socket's queue is short, and a
  // full one holds the sender up.)
  ASSERT_TRUE(WaitFor([&] {
    manager.Drain();
    return job.Ended();
  })) << job.Output();
  EXPECT_EQ(job.Wait(), 0) << job.Output();
  manager.Drain();
  int pings = 0;
  for (const std::string& line : manager.seen) pings += line == "WATCHDOG=1";
  EXPECT_GE(pings, 5);
}

TEST(Reload, SighupTakesAChangedFileAndKeepsTheSettingsOverABrokenOne) {
  TempFolder dir;
  const auto settings = [&](const std::string& text) {
    dir.WriteFile("Tovrin.sys.new", *ToCp932(text));
    std::filesystem::rename(dir / "Tovrin.sys.new", dir / "Tovrin.sys");
  };
  settings("OfiOut=ﾌｧｲﾙ  *\r\nOfiFEnd=保存  *\r\n");
  test::WriteBytes(dir / "A.OFI", test::LinesDrawing("A"));
  Batch poller(dir, Poller({"--settle", "0"}));
  ASSERT_TRUE(WaitFor([&] { return dir.Exists("A.GLF"); })) << poller.Output();

  // A drawing that comes after the reload is plotted with the new settings,
  // without waiting for the next listing. (It is taken the moment it is
  // closed, so the reload must have been logged first.)
  settings("OfiOut=ﾌｧｲﾙ  *\r\nOfiFEnd=消去  *\r\n");
  ASSERT_EQ(::kill(poller.Pid(), SIGHUP), 0);
  ASSERT_TRUE(WaitFor([&] { return poller.Count("settings reloaded") == 1; })) << poller.Output();
  test::WriteBytes(dir / "B.OFI", test::LinesDrawing("B"));
  EXPECT_TRUE(WaitFor([&] { return !dir.Exists("B.OFI"); }, 10s)) << poller.Output();
  EXPECT_TRUE(dir.Exists("B.GLF"));
  EXPECT_TRUE(dir.Exists("A.OFI"));
  EXPECT_EQ(poller.Count("reload: OfiFEnd: 保存 -> 消去"), 1) << poller.Output();

  // Cut short (the second line stops the reading): what came before it is
  // not taken either, the drawing is still deleted.
  const auto kept = [&](int n) {
    return WaitFor([&] { return poller.Count("the settings in force are kept") == n; });
  };
  settings("OfiFEnd=保存  *\r\nOfiOut=ﾌｧｲﾙ\r\n");
  ASSERT_EQ(::kill(poller.Pid(), SIGHUP), 0);
  ASSERT_TRUE(kept(1)) << poller.Output();
  test::WriteBytes(dir / "C.OFI", test::LinesDrawing("C"));
  EXPECT_TRUE(WaitFor([&] { return !dir.Exists("C.OFI"); }, 10s)) << poller.Output();
  EXPECT_TRUE(dir.Exists("C.GLF"));
  // Gone (an editor between removing and writing it): not the defaults either.
  std::filesystem::remove(dir / "Tovrin.sys");
  ASSERT_EQ(::kill(poller.Pid(), SIGHUP), 0);
  ASSERT_TRUE(kept(2)) << poller.Output();
  test::WriteBytes(dir / "D.OFI", test::LinesDrawing("D"));
  EXPECT_TRUE(WaitFor([&] { return !dir.Exists("D.OFI"); }, 10s)) << poller.Output();
  EXPECT_EQ(poller.Count("settings reloaded"), 1) << poller.Output();
  EXPECT_EQ(poller.Stop(), 0) << poller.Output();
}

}  // namespace
}  // namespace tovrin
