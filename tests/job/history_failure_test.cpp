// A job whose history fails at any step plots nothing more, deletes
// nothing, and says why once: the history is what keeps a drawing from
// being plotted twice or deleted unplotted.
#include <gtest/gtest.h>

#include <filesystem>

#include "failing_history.h"
#include "fakes.h"
#include "job/plot_job.h"
#include "ofi_builder.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::FailingHistory;
using test::FakeHost;
using test::FakeSpooler;
using test::OfiBuilder;
using test::TempFolder;
using Call = FailingHistory::Call;

constexpr const char* kToPlotter = "ﾌﾟﾛｯﾀ";
constexpr const char* kToFile = "ﾌｧｲﾙ";
constexpr const char* kSaid = "ジョブ履歴が使えません。出図も削除もしません (";

struct JobRun {
  JobSummary summary;
  FakeHost host;
  size_t plotted = 0;  // documents sent, or GLFs kept
  bool both_kept = false;
};

// Two drawings to be deleted once plotted; the first without its end when
// `a_incomplete`.
JobRun RunJob(const char* output, JobHistory* history, bool a_incomplete = false) {
  TempFolder start, ofi;
  OfiBuilder a;
  a.Header("A");
  if (!a_incomplete) a.End();
  a.Save(ofi / "A.OFI");
  OfiBuilder().Header("B").End().Save(ofi / "B.OFI");
  JobRun r{{}, FakeHost(test::SearchSettings(start.path(), ofi.path(), output, "消去"))};
  FakeSpooler spooler;
  JobOptions options;
  options.settle_seconds = 0;
  options.history = history;
  r.summary = PlotJob(r.host, &spooler, start.path(), options).Run();
  r.plotted = std::string(output) == kToPlotter
                  ? spooler.documents.size()
                  : size_t{ofi.Exists("A.GLF")} + size_t{ofi.Exists("B.GLF")};
  r.both_kept = ofi.Exists("A.OFI") && ofi.Exists("B.OFI");
  return r;
}

size_t LinesSaying(const JobRun& r, const std::string& what) {
  size_t n = 0;
  for (const std::string& line : r.host.log) n += line.find(what) != std::string::npos;
  return n;
}

TEST(HistoryFailure, AFailedCallAtAnyStepStopsTheJobAndDeletesNothing) {
  struct Case {
    Call call;
    int after;  // answers this often first
    const char* output;
    size_t most_plotted;
    bool a_incomplete = false;
  };
  const Case cases[] = {
      {Call::Check, 0, kToPlotter, 0},  {Call::LastFor, 1, kToPlotter, 0},
      {Call::Hold, 0, kToPlotter, 0},   {Call::NewJob, 0, kToPlotter, 0},
      {Call::Commit, 0, kToPlotter, 0},  // before the first delivery
      {Call::Add, 0, kToPlotter, 1},    {Call::Add, 0, kToFile, 1},
      {Call::Commit, 0, kToFile, 2},    {Call::Waiting, 0, kToPlotter, 2},
      {Call::Update, 0, kToPlotter, 2},  // the spooler's "completed" not kept
      {Call::Add, 0, kToFile, 0, true},  // A's refusal not kept: B waits too
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "call " << static_cast<int>(c.call) << " after " << c.after
                                    << " to " << c.output);
    FailingHistory history;
    history.FailFrom(c.call, c.after);
    JobRun r = RunJob(c.output, &history, c.a_incomplete);
    EXPECT_GT(history.Calls(c.call), c.after);
    EXPECT_TRUE(r.summary.failed);
    EXPECT_TRUE(r.both_kept);
    EXPECT_LE(r.plotted, c.most_plotted);
    EXPECT_EQ(LinesSaying(r, kSaid), 1u);
    EXPECT_EQ(LinesSaying(r, FailingHistory::kError), 1u);
  }
  FailingHistory answering;  // the same job with a history that answers
  JobRun r = RunJob(kToPlotter, &answering);
  EXPECT_TRUE(r.summary.Clean());
  EXPECT_EQ(r.plotted, 2u);
  EXPECT_FALSE(r.both_kept);
}

// No longer a history in memory instead: without its database a job does
// nothing at all.
TEST(HistoryFailure, AJobWhoseHistoryCannotBeOpenedDoesNothing) {
  TempFolder start, ofi;
  OfiBuilder().Header("A").End().Save(ofi / "A.OFI");
  std::filesystem::create_directory(start / kHistoryFileName);
  FakeHost host(test::SearchSettings(start.path(), ofi.path(), kToFile, "消去"));
  FakeSpooler spooler;
  JobSummary s = PlotJob(host, &spooler, start.path(), {.settle_seconds = 0}).Run();
  EXPECT_TRUE(s.failed);
  EXPECT_EQ(s.finished, 0);
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  EXPECT_FALSE(ofi.Exists("A.GLF"));
  ASSERT_EQ(host.log.size(), 1u);
  EXPECT_NE(host.log[0].find(kSaid), std::string::npos) << host.log[0];
  EXPECT_NE(host.log[0].find("cannot open the job history"), std::string::npos) << host.log[0];
}

}  // namespace
}  // namespace tovrin
