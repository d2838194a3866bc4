// tovrin-batch over a spool folder that other programs write into, the way
// it fails for users: real processes, real files, writers that pause, two
// pollers, kill -9.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "batch_process.h"
#include "drawing_files.h"
#include "ofi_builder.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using namespace std::chrono_literals;
using test::Batch;
using test::OfiBuilder;
using test::TempFolder;
using test::WaitFor;
namespace fs = std::filesystem;

const std::string kFinished = "　出図終了";
const std::string kStopped = "　出図中止";

std::string Header(const std::string& label) { return test::HeaderLine(label); }

std::vector<uint8_t> Drawing(const std::string& label, int lines = 50) {
  return test::LinesDrawing(label, lines);
}

using test::WriteBytes;

// The GLF a one-shot run makes of these bytes in a folder of its own.
std::string GlfOf(const std::vector<uint8_t>& bytes) {
  TempFolder dir;
  WriteBytes(dir / "X.OFI", bytes);
  Batch b(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--settle", "0"});
  EXPECT_EQ(b.Wait(), 0) << b.Output();
  return dir.ReadFile("X.GLF");
}

const std::vector<std::string> kPoll = {"--set",   "OfiOut=ﾌｧｲﾙ", "--set",    "OfiFEnd=消去",
                                        "--watch", "0.5",         "--settle", "1.5"};

TEST(SpoolFolder, AWriterThatPausesIsPlottedOnceAndWhole) {
  TempFolder dir;
  const auto drawing = Drawing("PAUSED", 400);
  const size_t half = drawing.size() / 2;
  Batch poller(dir, kPoll);
  // Half a drawing, a pause of two polls (within the settle time), the rest.
  WriteBytes(dir / "A.OFI", drawing, 0, half);
  std::this_thread::sleep_for(1s);
  WriteBytes(dir / "A.OFI", drawing, half, std::string::npos, true);
  // The same through a temporary name renamed when complete.
  WriteBytes(dir / "B.OFI.tmp", drawing, 0, half);
  std::this_thread::sleep_for(1s);
  WriteBytes(dir / "B.OFI.tmp", drawing, half, std::string::npos, true);
  fs::rename(dir / "B.OFI.tmp", dir / "B.OFI");
  ASSERT_TRUE(WaitFor([&] { return !dir.Exists("A.OFI") && !dir.Exists("B.OFI"); }))
      << poller.Output();
  std::this_thread::sleep_for(1s);  // a few more polls
  EXPECT_EQ(poller.Stop(), 0);
  EXPECT_EQ(poller.Count(Header("PAUSED") + kFinished), 2) << poller.Output();
  EXPECT_EQ(poller.Count(kStopped), 0) << poller.Output();
  const std::string whole = GlfOf(drawing);
  EXPECT_EQ(dir.ReadFile("A.GLF"), whole);
  EXPECT_EQ(dir.ReadFile("B.GLF"), whole);
}

TEST(SpoolFolder, ATruncatedDrawingIsKeptUntilItIsComplete) {
  TempFolder dir;
  const auto drawing = Drawing("CUT");
  WriteBytes(dir / "A.OFI", drawing, 0, drawing.size() - 2);  // no end marker
  Batch once(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--set", "OfiFEnd=消去", "--settle", "0"});
  EXPECT_EQ(once.Wait(), 1);
  EXPECT_EQ(once.Count(Header("CUT") + kStopped), 1) << once.Output();
  EXPECT_NE(once.Output().find("終了マーク"), std::string::npos) << once.Output();
  EXPECT_TRUE(dir.Exists("A.OFI"));
  EXPECT_FALSE(dir.Exists("A.GLF"));
  EXPECT_FALSE(dir.Exists(".A.GLF.tmp"));
  // Text named like a drawing is left alone the same way.
  std::ofstream(dir / "NOTES.OFI") << "not a drawing at all\n";

  // A poller reports such a file once, not at every poll (the history
  // already holds the cut drawing), and plots the drawing once it is whole.
  Batch poller(dir, kPoll);
  std::this_thread::sleep_for(3s);
  WriteBytes(dir / "A.OFI", drawing);
  ASSERT_TRUE(WaitFor([&] { return dir.Exists("A.GLF"); })) << poller.Output();
  EXPECT_EQ(poller.Stop(), 1);  // the text file counts as not finished
  EXPECT_EQ(poller.Count(Header("CUT") + kStopped), 0) << poller.Output();
  EXPECT_EQ(poller.Count(kStopped), 1) << poller.Output();
  EXPECT_EQ(poller.Count(Header("CUT") + kFinished), 1) << poller.Output();
  EXPECT_EQ(dir.ReadFile("A.GLF"), GlfOf(drawing));
  EXPECT_TRUE(dir.Exists("NOTES.OFI"));
  EXPECT_FALSE(dir.Exists("NOTES.GLF"));
}

// Two pollers of one start folder over 50 drawings moved in at once: each
// drawing is plotted exactly once, whether finished drawings are deleted or
// kept (then the shared job history remembers them).
void TwoPollersOverFiftyDrawings(const std::string& finished_files) {
  TempFolder dir, staging;
  fs::create_directory(dir / "spool");
  for (int i = 0; i < 50; ++i)
    WriteBytes(staging / ("D" + std::to_string(100 + i) + ".OFI"), Drawing("D", 200));
  const std::vector<std::string> args = {"--set",    "OfiOut=ﾌｧｲﾙ",
                                         "--set",    "OfiFEnd=" + finished_files,
                                         "--set",    "OfiFile=" + (dir / "spool"),
                                         "--watch",  "0.5",
                                         "--settle", "1"};
  Batch first(dir, args), second(dir, args);
  std::this_thread::sleep_for(700ms);
  for (const auto& e : fs::directory_iterator(staging.path()))
    fs::rename(e.path(), dir / ("spool/" + e.path().filename().string()));
  auto glfs = [&] {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir / "spool")) n += e.path().extension() == ".GLF";
    return n;
  };
  ASSERT_TRUE(WaitFor([&] { return glfs() == 50; })) << first.Output() << second.Output();
  std::this_thread::sleep_for(2s);  // more polls of both
  EXPECT_EQ(first.Stop(), 0);
  EXPECT_EQ(second.Stop(), 0);
  EXPECT_EQ(first.Count(kFinished) + second.Count(kFinished), 50) << first.Output() << "--\n"
                                                                  << second.Output();
  EXPECT_EQ(first.Count(kStopped) + second.Count(kStopped), 0);
  EXPECT_EQ(glfs(), 50);
}

TEST(SpoolFolder, TwoPollersDeletingDrawingsPlotEachExactlyOnce) {
  TwoPollersOverFiftyDrawings("消去");
}

TEST(SpoolFolder, TwoPollersKeepingDrawingsPlotEachExactlyOnce) {
  TwoPollersOverFiftyDrawings("保存");
}

TEST(SpoolFolder, AKeptDrawingIsPlottedOnceByAPollerAndIdleIsReportedOnce) {
  TempFolder dir;
  WriteBytes(dir / "A.OFI", Drawing("KEPT"));
  Batch poller(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--watch", "0.5", "--settle", "0"});
  ASSERT_TRUE(WaitFor([&] { return dir.Exists("A.GLF"); }));
  std::this_thread::sleep_for(2s);  // three polls and more
  EXPECT_EQ(poller.Stop(), 0);
  EXPECT_EQ(poller.Count(kFinished), 1) << poller.Output();
  EXPECT_EQ(poller.Count("図面が無いか、サイズが0です"), 1) << poller.Output();
  EXPECT_TRUE(dir.Exists("A.OFI"));
}

TEST(SpoolFolder, TwoDrawingsOfOneGlfNameStopTheSecond) {
  TempFolder dir;
  WriteBytes(dir / "A.1.OFI", Drawing("FIRST"));
  WriteBytes(dir / "A.2.OFI", Drawing("SECOND", 10));
  Batch once(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--set", "OfiFEnd=消去", "--settle", "0"});
  EXPECT_EQ(once.Wait(), 1);
  EXPECT_EQ(once.Count(Header("FIRST") + kFinished), 1) << once.Output();
  EXPECT_EQ(once.Count(Header("SECOND") + kStopped), 1) << once.Output();
  EXPECT_EQ(dir.ReadFile("A.GLF"), GlfOf(Drawing("FIRST")));
  EXPECT_FALSE(dir.Exists("A.1.OFI"));
  EXPECT_TRUE(dir.Exists("A.2.OFI"));
}

TEST(SpoolFolder, KillDuringABigDrawingLeavesNoGlfAndTheNextRunPlotsIt) {
  TempFolder dir;
  // About 56 MB of GLF: killed once the first megabyte is out, the drawing
  // is still far from its end however fast the machine.
  WriteBytes(dir / "BIG.OFI", Drawing("BIG", 4'000'000));
  Batch killed(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--set", "OfiFEnd=消去", "--settle", "0"});
  ASSERT_TRUE(WaitFor(
      [&] {
        std::error_code ec;
        return fs::file_size(dir / ".BIG.GLF.tmp", ec) > (1u << 20) && !ec;
      },
      60s));
  EXPECT_EQ(killed.Stop(SIGKILL), 128 + SIGKILL);
  EXPECT_FALSE(dir.Exists("BIG.GLF"));
  EXPECT_TRUE(dir.Exists("BIG.OFI"));

  Batch next(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--set", "OfiFEnd=消去", "--settle", "0"});
  EXPECT_EQ(next.Wait(), 0) << next.Output();
  EXPECT_EQ(next.Count(Header("BIG") + kFinished), 1);
  EXPECT_TRUE(dir.Exists("BIG.GLF"));
  EXPECT_FALSE(dir.Exists(".BIG.GLF.tmp"));
  EXPECT_FALSE(dir.Exists("BIG.OFI"));
  EXPECT_FALSE(dir.Exists("Tovrin.wok"));
}

TEST(SpoolFolder, AHugeSparseDrawingDoesNotStopTheGoodOne) {
  TempFolder dir;
  WriteBytes(dir / "A.OFI", Drawing("GOOD"));
  { std::ofstream(dir / "HUGE.OFI") << "x"; }
  fs::resize_file(dir / "HUGE.OFI", uint64_t{100} << 30);
  Batch once(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--set", "OfiFEnd=消去", "--settle", "0"});
  EXPECT_EQ(once.Wait(), 1) << once.Output();
  EXPECT_EQ(once.Count(Header("GOOD") + kFinished), 1) << once.Output();
  EXPECT_EQ(once.Count(kStopped), 1) << once.Output();
  EXPECT_TRUE(dir.Exists("HUGE.OFI"));
  EXPECT_FALSE(dir.Exists("HUGE.GLF"));
  // Refused for good: a poller does not say so again at every poll.
  Batch poller(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--watch", "0.5", "--settle", "0"});
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(poller.Stop(), 0) << poller.Output();
  EXPECT_EQ(poller.Count(kStopped), 0) << poller.Output();
}

TEST(SpoolFolder, AFolderAnotherProgramPlotsIsLeftAloneAndSaidOnce) {
  TempFolder dir;
  WriteBytes(dir / "A.OFI", Drawing("LOCKED"));
  int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  Batch poller(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--watch", "0.5", "--settle", "0"});
  std::this_thread::sleep_for(2s);
  EXPECT_FALSE(dir.Exists("A.GLF"));
  ::close(fd);  // the other program is done
  ASSERT_TRUE(WaitFor([&] { return dir.Exists("A.GLF"); })) << poller.Output();
  EXPECT_EQ(poller.Stop(), 0);
  EXPECT_EQ(poller.Count("別のプログラムがこのフォルダを出図中です"), 1) << poller.Output();
  EXPECT_EQ(poller.Count(kFinished), 1);
}

TEST(SpoolFolder, ASettingsFileThatIsAFifoIsNotWaitedFor) {
  TempFolder dir;
  ASSERT_EQ(::mkfifo((dir / "Tovrin.sys").c_str(), 0600), 0);
  WriteBytes(dir / "A.OFI", Drawing("FIFO"));
  Batch once(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--settle", "0"});
  ASSERT_TRUE(WaitFor([&] { return once.Ended(); }, 10s)) << "tovrin-batch hangs on a FIFO";
  EXPECT_EQ(once.Stop(), 0) << once.Output();
  EXPECT_EQ(once.Count(Header("FIFO") + kFinished), 1) << once.Output();
}

TEST(SpoolFolder, AOneShotJobWaitsForADrawingStillBeingWritten) {
  TempFolder dir;
  const auto drawing = Drawing("SLOW");
  WriteBytes(dir / "A.OFI", drawing, 0, 40);
  Batch once(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--settle", "1"});
  std::this_thread::sleep_for(600ms);
  WriteBytes(dir / "A.OFI", drawing);
  EXPECT_EQ(once.Wait(), 0) << once.Output();
  EXPECT_EQ(once.Count(Header("SLOW") + kFinished), 1) << once.Output();
  EXPECT_EQ(dir.ReadFile("A.GLF"), GlfOf(drawing));
}

}  // namespace
}  // namespace tovrin
