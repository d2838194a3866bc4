// Every CAD user may write into the spool folder: what they leave there
// (links, odd names, an old plot) never steers the program, and a limit of
// the system (threads) costs speed, not the plot. Real processes and files,
// as root and as the service's unprivileged user.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "batch_process.h"
#include "drawing_files.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using namespace std::chrono_literals;
using test::Batch;
using test::BatchAs;
using test::TempFolder;
namespace fs = std::filesystem;

const std::string kFinished = "　出図終了";
const std::string kStopped = "　出図中止";
const std::vector<std::string> kOnce = {"--set", "OfiOut=ﾌｧｲﾙ", "--settle", "0"};

// The GLF a one-shot run makes of these bytes in a folder of its own.
std::string GlfOf(const std::vector<uint8_t>& bytes) {
  TempFolder dir;
  test::WriteBytes(dir / "X.OFI", bytes);
  Batch b(dir, kOnce);
  EXPECT_EQ(b.Wait(), 0) << b.Output();
  return dir.ReadFile("X.GLF");
}

bool IsLink(const std::string& path) { return fs::is_symlink(fs::symlink_status(path)); }

TEST(SpoolGuard, PlantedLinksNeitherRedirectWritesNorGetPlotted) {
  const auto drawing = test::LinesDrawing("SHAFT");
  const std::string glf = GlfOf(drawing);
  for (const BatchAs as : {BatchAs{}, BatchAs{test::kNobody, test::kNogroup, {}}}) {
    SCOPED_TRACE(as.uid);
    TempFolder dir, other;
    fs::permissions(dir.path(), fs::perms::all);
    fs::create_directory(dir / "preview");
    fs::permissions(dir / "preview", fs::perms::all);
    other.WriteFile("Tovrin.db", "precious");
    test::WriteBytes(other / "DEPT.OFI", test::LinesDrawing("DEPT"));
    test::WriteBytes(dir / "SHAFT.OFI", drawing);
    fs::create_symlink(other / "Tovrin.db", dir / ".SHAFT.GLF.tmp");
    fs::create_symlink(other / "Tovrin.db", dir / "preview/SHAFT.png");
    fs::create_symlink(other / "DEPT.OFI", dir / "LINK.OFI");
    auto args = kOnce;
    args.insert(args.end(), {"--preview", dir / "preview"});
    Batch once(dir, args, as);
    EXPECT_EQ(once.Wait(), 1) << once.Output();  // the link was not plotted
    EXPECT_EQ(other.ReadFile("Tovrin.db"), "precious");
    EXPECT_EQ(dir.ReadFile("SHAFT.GLF"), glf);
    EXPECT_FALSE(IsLink(dir / "preview/SHAFT.png"));
    EXPECT_FALSE(dir.Exists("LINK.GLF"));
    EXPECT_TRUE(other.Exists("DEPT.OFI"));
    EXPECT_EQ(once.Count(kFinished), 1) << once.Output();
    EXPECT_EQ(once.Count(kStopped), 1) << once.Output();
    EXPECT_EQ(once.Count("is a symbolic link"), 1) << once.Output();
  }
}

// 83 kanji and ".OFI": 253 bytes, no room for ".NAME.GLF.tmp".
TEST(SpoolGuard, ADrawingWithALongNameIsPlottedAndTheFolderGoesOn) {
  std::string stem;
  for (int i = 0; i < 83; ++i) stem += "図";
  TempFolder dir;
  test::WriteBytes(dir / (stem + ".OFI"), test::LinesDrawing("LONG"));
  test::WriteBytes(dir / "B.OFI", test::LinesDrawing("B"));
  Batch once(dir, kOnce);
  EXPECT_EQ(once.Wait(), 0) << once.Output();
  EXPECT_EQ(once.Count(kFinished), 2) << once.Output();
  EXPECT_TRUE(dir.Exists(stem + ".GLF"));
  EXPECT_TRUE(dir.Exists("B.GLF"));
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_NE(e.path().filename().string().front(), '.') << e.path();
}

// An earlier run's plot under the GLF name would pass for this drawing's.
TEST(SpoolGuard, NoOldPlotStaysBesideADrawingThatWasNotPlotted) {
  TempFolder dir;
  const auto cut = test::LinesDrawing("CUT");
  test::WriteBytes(dir / "CUT.OFI", cut, 0, cut.size() - 2);  // no end marker
  dir.WriteFile("CUT.GLF", "an old plot");
  dir.WriteFile("TEXT.OFI", "not a drawing at all\n");
  dir.WriteFile("TEXT.GLF", "an old plot");
  Batch once(dir, kOnce);
  EXPECT_EQ(once.Wait(), 1) << once.Output();
  EXPECT_EQ(once.Count(kStopped), 2) << once.Output();
  EXPECT_FALSE(dir.Exists("CUT.GLF"));
  EXPECT_FALSE(dir.Exists("TEXT.GLF"));
  EXPECT_TRUE(dir.Exists("CUT.OFI"));
  EXPECT_TRUE(dir.Exists("TEXT.OFI"));
}

// systemd's TasksMax or a container's pids limit: no thread can be started.
TEST(SpoolGuard, AThreadThatCannotStartCostsSpeedNotThePlot) {
  const auto big = test::LinesDrawing("BIG", 400'000);  // read ahead and written behind
  const std::string glf = GlfOf(big);
  TempFolder dir;
  fs::permissions(dir.path(), fs::perms::all);
  test::WriteBytes(dir / "BIG.OFI", big);
  // The leak checker needs a thread of its own at exit, which this run has not.
  const char* lsan = std::getenv("LSAN_OPTIONS");
  const std::string saved = lsan ? lsan : "";
  ::setenv("LSAN_OPTIONS", (saved + ":detect_leaks=0").c_str(), 1);
  Batch once(dir, kOnce, {test::kNobody, test::kNogroup, 1});
  ::setenv("LSAN_OPTIONS", saved.c_str(), 1);
  EXPECT_EQ(once.Wait(), 0) << once.Output();
  EXPECT_EQ(dir.ReadFile("BIG.GLF"), glf);
  EXPECT_EQ(once.Count("スレッドが使えない"), 1) << once.Output();
}

// A clock ahead of ours (a CAD host's) must not make a drawing still being
// written look settled: the settle time runs from when it was first seen.
TEST(SpoolGuard, ADrawingDatedInTheFutureSettlesFromFirstSight) {
  TempFolder dir;
  test::WriteBytes(dir / "A.OFI", test::LinesDrawing("A"));
  fs::last_write_time(dir / "A.OFI", fs::file_time_type::clock::now() + 1h);
  Batch poller(dir, {"--set", "OfiOut=ﾌｧｲﾙ", "--watch", "0.5", "--settle", "2"});
  std::this_thread::sleep_for(1s);
  EXPECT_FALSE(dir.Exists("A.GLF"));
  EXPECT_TRUE(test::WaitFor([&] { return dir.Exists("A.GLF"); }, 5s)) << poller.Output();
  EXPECT_EQ(poller.Stop(), 0);
}

}  // namespace
}  // namespace tovrin
