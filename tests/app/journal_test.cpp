// Priorities of tovrin-batch's output in the systemd journal.
#include "app/journal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "ofi_builder.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::OfiBuilder;
using test::TempFolder;

TEST(Journal, LinePriorities) {
  EXPECT_EQ(JournalLine("PART-1          ,    　出図中止"), "<3>PART-1          ,    　出図中止");
  EXPECT_EQ(JournalLine("　　A.OFI が読めません (No such file)"),
            "<4>　　A.OFI が読めません (No such file)");
  EXPECT_EQ(JournalLine("PART-1          ,    　出図終了"), "<6>PART-1          ,    　出図終了");
  EXPECT_EQ(JournalLine("図面が無いか、サイズが0です"), "<6>図面が無いか、サイズが0です");
  EXPECT_EQ(JournalLine(""), "<6>");
  // Only the suffix and the double full-width indent count.
  EXPECT_EQ(JournalLine("　出図中止 は途中"), "<6>　出図中止 は途中");
  EXPECT_EQ(JournalLine("　A"), "<6>　A");
  // A drawing's header text cannot choose its own priority: ours comes first.
  EXPECT_EQ(JournalLine("<0>HEADER"), "<6><0>HEADER");
  // Nor can a line break in a header or a file name start a record of its own.
  EXPECT_EQ(JournalLine("AB\n<0>CD      ,    　出図終了"), "<6>AB <0>CD      ,    　出図終了");
  EXPECT_EQ(JournalLine(std::string("　　X\r\n\0Y.OFI が読めません", 34)),
            "<4>　　X   Y.OFI が読めません");
}

std::string DeviceInode(int fd) {
  struct stat st {};
  ::fstat(fd, &st);
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

TEST(Journal, StreamIsTheOneJournalStreamNames) {
  TempFolder dir;
  int fd = ::open((dir / "out").c_str(), O_CREAT | O_WRONLY, 0600);
  int other = ::open((dir / "other").c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_GE(other, 0);
  const std::string named = DeviceInode(fd);
  EXPECT_TRUE(IsJournalStream(fd, named.c_str()));
  EXPECT_FALSE(IsJournalStream(other, named.c_str()));
  for (const char* bad : {"", "12", "12:", ":34", "x:y", "1:2:3", "1:2 "})
    EXPECT_FALSE(IsJournalStream(fd, bad)) << bad;
  EXPECT_FALSE(IsJournalStream(fd, nullptr));
  EXPECT_FALSE(IsJournalStream(-1, named.c_str()));
  ::close(fd);
  ::close(other);
}

TEST(Journal, PrefixBufferMarksEveryLine) {
  std::ostringstream sink;
  LinePrefixBuffer buffer(sink.rdbuf(), "<4>");
  std::ostream out(&buffer);
  out << "first"
      << " part\nsecond\n\nthird";
  out << " end\n" << std::flush;
  EXPECT_EQ(sink.str(), "<4>first part\n<4>second\n<4>\n<4>third end\n");
}

struct BatchOutput {
  int status = -1;
  std::string out;
};

// Runs tovrin-batch in `dir` with stdout and stderr in one file; with
// `journal`, JOURNAL_STREAM names that file as systemd would name its socket.
BatchOutput RunJournalBatch(const TempFolder& dir, const std::string& args, bool journal) {
  std::string cmd = "cd '" + dir.path() + "' && exec >out.txt 2>&1; ";
  cmd += journal ? "JOURNAL_STREAM=$(stat -c %d:%i out.txt); export JOURNAL_STREAM; "
                 : "unset JOURNAL_STREAM; ";
  cmd += "exec '" TOVRIN_BATCH_PATH "' " + args;
  BatchOutput r;
  int st = std::system(cmd.c_str());
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.out = dir.ReadFile("out.txt");
  return r;
}

// Written an hour ago, so no job waits for them to settle.
void SaveSettled(const OfiBuilder& drawing, const std::string& path) {
  drawing.Save(path);
  std::filesystem::last_write_time(
      path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
}

void WriteTwoDrawings(const TempFolder& dir) {
  SaveSettled(OfiBuilder().Header("GOOD").End(), dir / "A.OFI");
  SaveSettled(OfiBuilder().Header("CUT").Line(0, 0, 10, 10), dir / "B.OFI");  // no end marker
}

TEST(Journal, BatchOutputWithAndWithoutTheJournal) {
  TempFolder plain, journal;
  WriteTwoDrawings(plain);
  WriteTwoDrawings(journal);
  const std::string args = "--set 'OfiOut=ﾌｧｲﾙ'";
  BatchOutput p = RunJournalBatch(plain, args, false);
  BatchOutput j = RunJournalBatch(journal, args, true);
  EXPECT_EQ(p.status, 1) << p.out;
  EXPECT_EQ(j.status, 1) << j.out;
  EXPECT_EQ(p.out.find('<'), std::string::npos) << p.out;

  // Each journal line is the plain line with its priority in front (here
  // there is no journal socket: the stream takes them).
  std::istringstream plain_lines(p.out), journal_lines(j.out);
  std::string pl, jl;
  int lines = 0, errors = 0;
  while (std::getline(plain_lines, pl) && std::getline(journal_lines, jl)) {
    ++lines;
    EXPECT_EQ(jl.substr(3), pl);
    if (jl.rfind(kJournalError, 0) == 0) ++errors;
  }
  EXPECT_FALSE(std::getline(journal_lines, jl)) << j.out;
  EXPECT_EQ(lines, 3) << j.out;  // finished, stopped, its reason
  EXPECT_EQ(errors, 1) << j.out;
  EXPECT_NE(j.out.find("<6>GOOD"), std::string::npos) << j.out;
  EXPECT_NE(j.out.find("<3>CUT"), std::string::npos) << j.out;
}

TEST(Journal, StderrWarningsAndRedirectedOutput) {
  TempFolder dir;
  BatchOutput usage = RunJournalBatch(dir, "--bogus", true);
  EXPECT_EQ(usage.status, 2);
  ASSERT_FALSE(usage.out.empty());
  std::istringstream lines(usage.out);
  for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("<4>", 0), 0u) << line;

  // JOURNAL_STREAM inherited, but stdout is somewhere else: no prefixes.
  SaveSettled(OfiBuilder().Header("GOOD").End(), dir / "A.OFI");
  std::string cmd = "cd '" + dir.path() +
                    "' && JOURNAL_STREAM=1:1 '" TOVRIN_BATCH_PATH
                    "' --set 'OfiOut=ﾌｧｲﾙ' >plain.txt 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(dir.ReadFile("plain.txt").rfind("GOOD", 0), 0u) << dir.ReadFile("plain.txt");
}

}  // namespace
}  // namespace tovrin

namespace tovrin {
namespace {

// One journal record: its fields, in the journal's native protocol
// ("NAME=value\n", or "NAME\n" + 64-bit little-endian size + bytes + "\n").
std::map<std::string, std::string> ParseRecord(const std::string& bytes) {
  std::map<std::string, std::string> fields;
  for (size_t at = 0; at < bytes.size();) {
    const size_t end = bytes.find('\n', at);
    if (end == std::string::npos) break;
    const std::string line = bytes.substr(at, end - at);
    const size_t eq = line.find('=');
    if (eq != std::string::npos) {
      fields[line.substr(0, eq)] = line.substr(eq + 1);
      at = end + 1;
      continue;
    }
    uint64_t size = 0;
    for (int i = 7; i >= 0; --i) size = size << 8 | static_cast<uint8_t>(bytes[end + 1 + i]);
    fields[line] = bytes.substr(end + 9, size);
    at = end + 9 + size + 1;
  }
  return fields;
}

// The journal's socket is bound by the test, in a mount namespace of the
// batch program's own: what it sends as records arrives here.
TEST(Journal, FinalLinesGoAsRecordsThatNameTheDrawing) {
  if (::geteuid() != 0) GTEST_SKIP() << "a mount namespace needs root";
  TempFolder dir;
  WriteTwoDrawings(dir);
  SaveSettled(OfiBuilder().Header("EVIL").End(), dir / "C\n<0>X.OFI");
  const int sock = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string path = dir / "journal.socket";
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  const std::string cmd =
      "cd '" + dir.path() +
      "' && exec >out.txt 2>&1; JOURNAL_STREAM=$(stat -c %d:%i out.txt) unshare -m sh -c '"
      "mount --make-rprivate / && mount -t tmpfs none /run && mkdir -p /run/systemd/journal &&"
      " touch /run/systemd/journal/socket && mount --bind \"$0\" /run/systemd/journal/socket &&"
      " exec \"$1\" --set OfiOut=ﾌｧｲﾙ' '" +
      path + "' '" TOVRIN_BATCH_PATH "'";
  const int st = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 1) << dir.ReadFile("out.txt");
  EXPECT_EQ(dir.ReadFile("out.txt"), "");  // all went to the journal
  std::map<std::string, std::map<std::string, std::string>> by_file;
  int reasons = 0;
  char buf[65536];
  for (ssize_t n; (n = ::recv(sock, buf, sizeof buf, 0)) > 0;) {
    auto f = ParseRecord(std::string(buf, static_cast<size_t>(n)));
    EXPECT_EQ(f["MESSAGE"].find('\n'), std::string::npos) << f["MESSAGE"];
    if (f.count("TOVRIN_FILE")) by_file[f["TOVRIN_FILE"]] = f;
    reasons += f["PRIORITY"] == "4";
  }
  ::close(sock);
  ASSERT_EQ(by_file.size(), 3u);
  EXPECT_EQ(by_file["A.OFI"]["TOVRIN_RESULT"], "finished");
  EXPECT_EQ(by_file["A.OFI"]["PRIORITY"], "6");
  EXPECT_NE(by_file["A.OFI"]["MESSAGE"].find("GOOD"), std::string::npos);
  EXPECT_EQ(by_file["B.OFI"]["TOVRIN_RESULT"], "incomplete");
  EXPECT_EQ(by_file["B.OFI"]["PRIORITY"], "3");
  EXPECT_EQ(by_file["C\n<0>X.OFI"]["TOVRIN_RESULT"], "finished");  // the name's bytes as they are
  EXPECT_EQ(reasons, 1);                                           // B's reason
}

}  // namespace
}  // namespace tovrin
