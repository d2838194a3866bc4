// A poller that listens to its folder: drawings are taken as their writers
// close them or move them in, long before the next listing, and nothing is
// plotted early or lost when events are.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "batch_process.h"
#include "drawing_files.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using namespace std::chrono_literals;
using test::Batch;
using test::TempFolder;
using test::WaitFor;
using test::WriteBytes;
namespace fs = std::filesystem;

const std::string kFinished = "　出図終了";
const std::string kStopped = "　出図中止";

// The listing comes every 30 s and a drawing settles in 4 s: whatever is
// plotted within 3 s was taken on its event.
const std::vector<std::string> kListen = {"--set",   "OfiOut=ﾌｧｲﾙ", "--set",    "OfiFEnd=消去",
                                          "--watch", "30",          "--settle", "4"};

std::string GlfOf(const std::vector<uint8_t>& bytes) {
  TempFolder dir;
  WriteBytes(dir / "X.OFI", bytes);
  Batch b(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--settle", "0"});
  EXPECT_EQ(b.Wait(), 0) << b.Output();
  return dir.ReadFile("X.GLF");
}

TEST(SpoolEvents, ClosedAndMovedInDrawingsAreTakenAtOnceHalfOnesNever) {
  TempFolder dir, staging;
  const auto drawing = test::LinesDrawing("EVENT", 300);
  const std::string whole = GlfOf(drawing);
  Batch poller(dir, kListen);
  std::this_thread::sleep_for(1s);
  WriteBytes(dir / "A.OFI", drawing);  // written and closed in place
  EXPECT_TRUE(WaitFor([&] { return dir.Exists("A.GLF"); }, 3s)) << poller.Output();
  WriteBytes(staging / "B.OFI", drawing);  // written elsewhere, moved in
  fs::rename(staging / "B.OFI", dir / "B.OFI");
  EXPECT_TRUE(WaitFor([&] { return dir.Exists("B.GLF"); }, 3s)) << poller.Output();

  // Closed after half a drawing: left alone until the rest comes.
  WriteBytes(dir / "C.OFI", drawing, 0, drawing.size() / 2);
  std::this_thread::sleep_for(1500ms);
  EXPECT_FALSE(dir.Exists("C.GLF"));
  WriteBytes(dir / "C.OFI", drawing, drawing.size() / 2, std::string::npos, true);
  EXPECT_TRUE(WaitFor([&] { return dir.Exists("C.GLF"); }, 3s)) << poller.Output();
  EXPECT_EQ(poller.Count(kStopped), 0) << "the half drawing was taken\n" << poller.Output();

  // One that never gets its end marker is stopped once it has settled,
  // not at the next listing, and leaves no plot.
  WriteBytes(dir / "D.OFI", drawing, 0, drawing.size() - 2);
  EXPECT_TRUE(WaitFor([&] { return poller.Count(kStopped) == 1; }, 8s)) << poller.Output();
  EXPECT_EQ(poller.Stop(), 1);
  EXPECT_EQ(poller.Count(kFinished), 3) << poller.Output();
  EXPECT_EQ(poller.Count(kStopped), 1) << poller.Output();
  EXPECT_NE(poller.Output().find("終了マーク"), std::string::npos) << poller.Output();
  for (const char* glf : {"A.GLF", "B.GLF", "C.GLF"}) EXPECT_EQ(dir.ReadFile(glf), whole) << glf;
  EXPECT_FALSE(dir.Exists("D.GLF"));
  EXPECT_TRUE(dir.Exists("D.OFI"));
}

// More events than the queue holds while the poller cannot read them (it
// is stopped): the kernel drops the rest and says so, and the poller lists
// the folder instead of waiting for its next listing.
TEST(SpoolEvents, AnOverflowingEventQueueLosesNoDrawing) {
  TempFolder dir;
  int queue = 16384;
  std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> queue;
  Batch poller(dir,
               {"--set", "OfiOut=ﾌｧｲﾙ", "--set", "OfiFEnd=消去", "--watch", "30", "--settle", "1"});
  std::this_thread::sleep_for(1s);
  ASSERT_EQ(::kill(poller.Pid(), SIGSTOP), 0);
  // Two names in turn: the kernel folds an event into an equal last one.
  const std::string names[2] = {dir / "a.txt", dir / "b.txt"};
  for (int i = 0; i <= queue; ++i) ::close(::open(names[i % 2].c_str(), O_WRONLY | O_CREAT, 0644));
  for (int i = 0; i < 5; ++i)
    WriteBytes(dir / ("L" + std::to_string(i) + ".OFI"), test::LinesDrawing("LOST"));
  ASSERT_EQ(::kill(poller.Pid(), SIGCONT), 0);
  EXPECT_TRUE(WaitFor([&] { return poller.Count(kFinished) == 5; }, 15s)) << poller.Output();
  EXPECT_EQ(poller.Stop(), 0) << poller.Output();
  EXPECT_EQ(poller.Count(kFinished), 5) << poller.Output();
}

// The folder removed (or moved away) and made again: its watch went with
// it, and the poller watches the new one as soon as it is there.
TEST(SpoolEvents, AFolderMadeAgainIsWatchedAgain) {
  TempFolder dir;
  fs::create_directory(dir / "spool");
  std::vector<std::string> args = kListen;
  args.insert(args.end(), {"--set", "OfiFile=" + (dir / "spool")});
  Batch poller(dir, args);
  std::this_thread::sleep_for(1s);
  fs::remove(dir / "spool");
  fs::create_directory(dir / "spool");
  std::this_thread::sleep_for(1500ms);
  WriteBytes(dir / "spool/A.OFI", test::LinesDrawing("AGAIN"));
  EXPECT_TRUE(WaitFor([&] { return dir.Exists("spool/A.GLF"); }, 3s)) << poller.Output();
  fs::rename(dir / "spool", dir / "gone");
  fs::create_directory(dir / "spool");
  std::this_thread::sleep_for(1500ms);
  WriteBytes(dir / "spool/B.OFI", test::LinesDrawing("AGAIN"));
  EXPECT_TRUE(WaitFor([&] { return dir.Exists("spool/B.GLF"); }, 3s)) << poller.Output();
  poller.Stop();
  EXPECT_EQ(poller.Count(kFinished), 2) << poller.Output();
}

}  // namespace
}  // namespace tovrin
