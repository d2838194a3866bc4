// When what keeps a drawing from being lost or plotted twice fails itself
// (the job history, the plot marks), nothing is plotted and nothing is
// deleted, the log says why once, and the poller goes on by itself once it
// works again. Real processes, real database files, run as the service's
// unprivileged user where that is how it fails.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "batch_process.h"
#include "drawing_files.h"
#include "run_command.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using namespace std::chrono_literals;
using test::Batch;
using test::BatchAs;
using test::TempFolder;
using test::WaitFor;
namespace fs = std::filesystem;

const std::string kFinished = "　出図終了";
const std::string kHistoryFailed = "ジョブ履歴が使えません";
const std::string kHistoryBack = "ジョブ履歴がまた使えます";
const BatchAs kServiceUser{test::kNobody, test::kNogroup, {}};

std::vector<std::string> Poll(const std::string& at_end) {
  return {"--set", "OfiOut=ﾌｧｲﾙ", "--set", "OfiFEnd=" + at_end, "--watch", "0.5", "--settle", "0"};
}

std::vector<std::string> Once(const std::string& at_end) {
  return {"--set", "OfiOut=ﾌｧｲﾙ", "--set", "OfiFEnd=" + at_end, "--settle", "0"};
}

// A folder everyone may write, as a spool folder the service shares.
void OpenToAll(const TempFolder& dir) { fs::permissions(dir.path(), fs::perms::all); }

// The history made by an idle job of `as`.
void MakeHistory(const TempFolder& dir, BatchAs as = {}) {
  Batch idle(dir, Once("保存"), as);
  ASSERT_EQ(idle.Wait(), 0) << idle.Output();
  ASSERT_TRUE(dir.Exists("Tovrin.db"));
}

void AddDrawings(const TempFolder& dir) {
  test::WriteBytes(dir / "A.OFI", test::LinesDrawing("A"));
  test::WriteBytes(dir / "B.OFI", test::LinesDrawing("B"));
}

void ExpectNothingDone(const TempFolder& dir, const Batch& b) {
  EXPECT_TRUE(dir.Exists("A.OFI") && dir.Exists("B.OFI")) << b.Output();
  EXPECT_FALSE(dir.Exists("A.GLF") || dir.Exists("B.GLF")) << b.Output();
  EXPECT_EQ(b.Count(kFinished), 0) << b.Output();
  EXPECT_EQ(b.Count(kHistoryFailed), 1) << b.Output();
}

// Left owned by root after one manual run, then the service user takes
// over: the history opens but cannot be written.
TEST(FailClosed, AHistoryTheServiceCannotWriteStopsPlottingUntilItCan) {
  for (const std::string at_end : {"保存", "消去"}) {
    SCOPED_TRACE(at_end);
    TempFolder dir;
    OpenToAll(dir);
    MakeHistory(dir);
    AddDrawings(dir);
    Batch poller(dir, Poll(at_end), kServiceUser);
    std::this_thread::sleep_for(2s);  // four polls
    ExpectNothingDone(dir, poller);
    // The administrator hands the history over: the poller goes on.
    for (const auto& e : fs::directory_iterator(dir.path())) {
      if (e.path().filename().string().rfind("Tovrin.db", 0) == 0) {
        ASSERT_EQ(::chown(e.path().c_str(), test::kNobody, test::kNogroup), 0);
      }
    }
    ASSERT_TRUE(WaitFor([&] { return poller.Count(kFinished) == 2; })) << poller.Output();
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(poller.Stop(), 1) << poller.Output();  // its first jobs could not run
    EXPECT_EQ(poller.Count(kFinished), 2) << poller.Output();
    EXPECT_EQ(poller.Count(kHistoryBack), 1) << poller.Output();
    EXPECT_EQ(dir.Exists("A.OFI"), at_end == "保存");
  }
}

// chattr +i for a scope, undone however the scope ends.
struct Immutable {
  explicit Immutable(std::string path) : path(std::move(path)) {
    set = test::RunCommand("chattr +i '" + this->path + "' 2>&1").status == 0;
  }
  ~Immutable() {
    if (set) test::RunCommand("chattr -i '" + path + "'");
  }
  std::string path;
  bool set = false;
};

TEST(FailClosed, AnImmutableHistoryStopsPlotting) {
  TempFolder dir;
  MakeHistory(dir);
  Immutable immutable(dir / "Tovrin.db");
  if (!immutable.set) GTEST_SKIP() << "this file system has no immutable files";
  AddDrawings(dir);
  Batch once(dir, Once("消去"));
  EXPECT_EQ(once.Wait(), 1);
  ExpectNothingDone(dir, once);
}

// An sqlite3 shell left in a write transaction, as an administrator might.
// It waits its turn for the lock: the probe below holds it for a moment.
class HeldHistory {
 public:
  explicit HeldHistory(const TempFolder& dir)
      : shell_(dir, "sh",
               {"-c",
                "(echo '.timeout 10000'; echo 'BEGIN IMMEDIATE;'; sleep 60) | sqlite3 Tovrin.db"}) {
    held_ = WaitFor([&] {
      return test::RunCommand("cd '" + dir.path() +
                              "' && sqlite3 -cmd '.timeout 0' Tovrin.db 'BEGIN IMMEDIATE;' 2>&1")
                 .out.find("locked") != std::string::npos;
    });
  }
  bool held() const { return held_; }

 private:
  test::Process shell_;
  bool held_ = false;
};

TEST(FailClosed, AWriteLockHeldElsewhereCostsAJobSecondsAndIsObeyedOnSigterm) {
  TempFolder dir;
  MakeHistory(dir);
  AddDrawings(dir);
  {
    HeldHistory held(dir);
    ASSERT_TRUE(held.held());
    const auto start = std::chrono::steady_clock::now();
    Batch once(dir, Once("消去"));
    EXPECT_EQ(once.Wait(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 6s) << once.Output();
    ExpectNothingDone(dir, once);

    Batch poller(dir, Poll("消去"));
    std::this_thread::sleep_for(1s);
    const auto stopping = std::chrono::steady_clock::now();
    EXPECT_EQ(poller.Stop(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 1500ms) << poller.Output();
    ExpectNothingDone(dir, poller);
  }
  Batch once(dir, Once("消去"));
  EXPECT_EQ(once.Wait(), 0) << once.Output();
  EXPECT_EQ(once.Count(kFinished), 2);
  EXPECT_FALSE(dir.Exists("A.OFI"));
}

// Junk over every page but the first (the schema): reads fail, and a failed
// read is never "not plotted yet".
TEST(FailClosed, ACorruptHistoryIsNotReadAsNoRow) {
  TempFolder dir;
  test::WriteBytes(dir / "A.OFI", test::LinesDrawing("A"));
  Batch first(dir, Once("保存"));
  ASSERT_EQ(first.Wait(), 0) << first.Output();
  const auto glf_time = fs::last_write_time(dir / "A.GLF");
  {
    std::fstream db(dir / "Tovrin.db", std::ios::in | std::ios::out | std::ios::binary);
    db.seekp(4096);
    const std::string junk(fs::file_size(dir / "Tovrin.db") - 4096, '\x5a');
    db.write(junk.data(), static_cast<std::streamsize>(junk.size()));
  }
  Batch poller(dir, Poll("保存"));
  std::this_thread::sleep_for(2s);
  EXPECT_EQ(poller.Stop(), 1);
  EXPECT_EQ(poller.Count(kFinished), 0) << poller.Output();
  EXPECT_EQ(poller.Count(kHistoryFailed), 1) << poller.Output();
  EXPECT_EQ(fs::last_write_time(dir / "A.GLF"), glf_time);
}

// The drawings carry the mark of their plot: a history deleted under a
// poller, or a second program with its own history on the same spool
// folder, does not plot a kept drawing again.
TEST(FailClosed, TheHistoryDeletedUnderAPollerDoesNotReplotKeptDrawings) {
  TempFolder dir;
  test::WriteBytes(dir / "A.OFI", test::LinesDrawing("A"));
  Batch poller(dir, Poll("保存"));
  ASSERT_TRUE(WaitFor([&] { return poller.Count(kFinished) == 1; })) << poller.Output();
  for (const char* f : {"Tovrin.db", "Tovrin.db-wal", "Tovrin.db-shm"}) fs::remove(dir / f);
  std::this_thread::sleep_for(1500ms);
  test::WriteBytes(dir / "B.OFI", test::LinesDrawing("B"));
  ASSERT_TRUE(WaitFor([&] { return dir.Exists("B.GLF"); })) << poller.Output();
  std::this_thread::sleep_for(1s);
  poller.Stop();
  EXPECT_EQ(poller.Count(kFinished), 2) << poller.Output();
  EXPECT_EQ(poller.Count(kHistoryFailed), 1) << poller.Output();

  Batch restarted(dir, Poll("保存"));
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(restarted.Stop(), 0);
  EXPECT_EQ(restarted.Count(kFinished), 0) << restarted.Output();
}

TEST(FailClosed, TwoStartFoldersOnOneSpoolFolderPlotEachDrawingOnce) {
  TempFolder spool, staging, first_start, second_start;
  auto args = Poll("保存");
  args.insert(args.end(), {"--set", "OfiFile=" + spool.path()});
  Batch first(first_start, args), second(second_start, args);
  for (int i = 0; i < 20; ++i)
    test::WriteBytes(staging / ("D" + std::to_string(i) + ".OFI"), test::LinesDrawing("D", 100));
  for (const auto& e : fs::directory_iterator(staging.path()))
    fs::rename(e.path(), spool / e.path().filename().string());
  ASSERT_TRUE(WaitFor([&] { return first.Count(kFinished) + second.Count(kFinished) >= 20; }));
  std::this_thread::sleep_for(2s);  // more polls of both
  EXPECT_EQ(first.Stop(), 0);
  EXPECT_EQ(second.Stop(), 0);
  EXPECT_EQ(first.Count(kFinished) + second.Count(kFinished), 20) << first.Output() << "--\n"
                                                                  << second.Output();
}

}  // namespace
}  // namespace tovrin
