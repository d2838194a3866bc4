// CUPS as an office grows: the print server reached over TCP as one on
// another host, a class of two plotters behind one Hprn, more drawings in
// one job than CUPS keeps jobs, and a spooler that falls behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "batch_process.h"
#include "fake_plotter.h"
#include "fakes.h"
#include "history/job_history.h"
#include "job/plot_job.h"
#include "ofi_builder.h"
#include "platform/cups/cups_spooler.h"
#include "private_cups.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using namespace std::chrono_literals;
using test::Batch;
using test::FakeHost;
using test::FakePlotter;
using test::OfiBuilder;
using test::TempFolder;

constexpr const char* kCompleted = "プリンタのジョブが完了しました: ";

// An environment variable set for the processes a scope starts.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

std::vector<int> Ports(const char* list) {
  std::vector<int> ports;
  std::istringstream in(list ? list : "");
  for (int port = 0; in >> port;) ports.push_back(port);
  return ports;
}

class OfficeTest : public test::PrivateCupsTest {
 protected:
  void SetUp() override {
    PrivateCupsTest::SetUp();
    if (IsSkipped()) return;
    const char* tcp = std::getenv("TOVRIN_CUPS_TCP");
    const char* klass = std::getenv("TOVRIN_CUPS_CLASS");
    ports = Ports(std::getenv("TOVRIN_CUPS_CLASS_PORTS"));
    const char* names = std::getenv("TOVRIN_CUPS_CLASS_MEMBERS");
    std::istringstream members_in(names ? names : "");
    for (std::string m; members_in >> m;) members.push_back(m);
    if (!tcp || !klass || ports.size() != 2 || members.size() != 2)
      GTEST_SKIP() << "the private cupsd has no class (restart it with cupsd-private.sh)";
    server = tcp;
    office = klass;
  }
  void Drawings(int count) {
    for (int i = 0; i < count; ++i)
      OfiBuilder()
          .Header("D" + std::to_string(i))
          .End()
          .Save(ofi / ("D" + std::to_string(i) + ".OFI"));
  }
  // One tovrin-batch job through the print server at `server`.
  int Plot(const std::string& printer, std::string& output) {
    ScopedEnv env("CUPS_SERVER", server);
    Batch batch(start,
                {"--settle", "0", "--set", "OfiFile=" + ofi.path(), "--set", "Hprn=" + printer,
                 "--set", "OfiOut=ﾌﾟﾛｯﾀ", "--set", "OfiFEnd=消去", "--wait-delivered", "60"});
    const int status = batch.Wait();
    output = batch.Output();
    return status;
  }
  std::vector<HistoryRow> Rows() {
    std::string error;
    auto history = JobHistory::OpenForReading(start / kHistoryFileName, error);
    std::vector<HistoryRow> rows;
    EXPECT_TRUE(history && history->Last(10000, RowFilter::All, rows)) << error;
    return rows;
  }
  size_t OfisLeft() {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(ofi.path()))
      n += e.path().extension() == ".OFI";
    return n;
  }

  std::string server, office;
  std::vector<int> ports;
  std::vector<std::string> members;
  TempFolder start, ofi;
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::string Tail(const std::string& text) {
  return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(OfficeTest, AClassOverTcpSpreadsTheJobsAndTracksEachToItsEnd) {
  FakePlotter a(ports[0]), b(ports[1]);
  ASSERT_TRUE(a.ok() && b.ok());
  Drawings(12);
  std::string output;
  EXPECT_EQ(Plot(office, output), 0) << output;
  ASSERT_TRUE(test::WaitFor([&] { return a.Jobs().size() + b.Jobs().size() >= 12; }, 20s));
  EXPECT_EQ(a.Jobs().size() + b.Jobs().size(), 12u);
  EXPECT_GT(a.Jobs().size(), 0u) << "CUPS gave every job to one plotter";
  EXPECT_GT(b.Jobs().size(), 0u) << "CUPS gave every job to one plotter";
  EXPECT_EQ(Count(output, kCompleted), 12) << output;
  EXPECT_EQ(OfisLeft(), 0u);
  for (const HistoryRow& row : Rows()) {
    EXPECT_EQ(row.result, "finished") << row.drawing.name;
    EXPECT_EQ(row.cups_state, "completed") << row.drawing.name;
    EXPECT_EQ(row.printer, office);
  }
}

// Measured with CUPS 2.4: a member whose backend fails is not stopped; the
// class gives the job to its other member at once ("Retrying job on
// another printer"), so every drawing completes there and Tovrin shows
// them plotted. The refusing plotter's queue keeps the backend's message.
TEST_F(OfficeTest, APlotterOfTheClassRefusingConnectionsLeavesItsJobsToTheOther) {
  FakePlotter b(ports[1]);  // nothing listens on the first member's port
  ASSERT_TRUE(b.ok());
  Drawings(6);
  std::string output;
  EXPECT_EQ(Plot(office, output), 0) << output;
  ASSERT_TRUE(b.WaitForJobs(6, 20s));
  EXPECT_EQ(b.Jobs().size(), 6u);
  EXPECT_EQ(Count(output, kCompleted), 6) << output;
  EXPECT_EQ(OfisLeft(), 0u);
  CupsSpooler spooler;
  PrinterStatus refusing;
  std::string error;
  ASSERT_TRUE(spooler.QueryPrinter(members[0], refusing, error)) << error;
  EXPECT_FALSE(refusing.stopped);
  EXPECT_TRUE(refusing.accepting);
  EXPECT_NE(refusing.message.find("cannot connect"), std::string::npos) << refusing.message;
}

// CUPS keeps its last 500 jobs (MaxJobs), ended ones included: a job of
// more drawings follows its deliveries as it goes, or the first ones are
// forgotten before it looks and their drawings kept as lost.
TEST_F(OfficeTest, MoreDrawingsThanCupsKeepsJobsAreAllTrackedToTheEnd) {
  FakePlotter plotter(cups.port);
  ASSERT_TRUE(plotter.ok());
  Drawings(620);
  server = std::getenv("CUPS_SERVER");
  std::string output;
  EXPECT_EQ(Plot(cups.queue, output), 0) << Tail(output);
  EXPECT_EQ(Count(output, kCompleted), 620);
  EXPECT_EQ(Count(output, "プリンタのジョブが分からなくなりました"), 0);
  EXPECT_EQ(OfisLeft(), 0u);
  EXPECT_EQ(plotter.Jobs().size(), 620u);
}

// A spooler that does not print (its queue disabled) gets no more than
// the bound of jobs waiting: the job stops sending, says why, and leaves
// the other drawings untouched for the next job, which plots them once the
// queue runs again.
TEST_F(OfficeTest, ASpoolerThatFallsBehindIsNotGivenMoreThanTheBound) {
  test::QueuePolicy policy(cups.queue, "abort-job");  // enables the queue again afterwards
  ASSERT_TRUE(test::RunCupsTool("cupsdisable " + cups.queue));
  Drawings(230);
  PlotSettings s = PlotSettings::Defaults(start.path());
  s.OfiFile = ofi.path();
  s.OfiOut = "ﾌﾟﾛｯﾀ";
  s.OfiFEnd = "消去";
  s.Hprn = cups.queue;
  FakeHost host(s);
  host.printer = cups.queue;
  CupsSpooler spooler;
  JobOptions o;
  o.settle_seconds = 0;
  o.wait_delivered_seconds = 1;
  EXPECT_FALSE(PlotJob(host, &spooler, start.path(), o).Run().Clean());
  const std::string log = Joined(host.log);
  EXPECT_NE(log.find("完了待ちのジョブ: 200"), std::string::npos) << Tail(log);
  EXPECT_EQ(Rows().size(), 200u);
  EXPECT_EQ(OfisLeft(), 230u);
  // A poller does not wait for the spooler (its next poll looks again), and
  // says it is behind once.
  JobOptions poll = o;
  poll.repeat = true;
  poll.wait_delivered_seconds = 60;
  PlotJob poller(host, &spooler, start.path(), poll);
  host.log.clear();
  host.waited_ms = 0;
  poller.Run();
  poller.Run();
  EXPECT_EQ(host.waited_ms, 0);
  EXPECT_EQ(Count(Joined(host.log), "完了待ちのジョブ: 200"), 1) << Tail(Joined(host.log));
  EXPECT_EQ(Rows().size(), 200u);
  FakePlotter plotter(cups.port);
  ASSERT_TRUE(plotter.ok());
  ASSERT_TRUE(test::RunCupsTool("cupsenable " + cups.queue));
  o.wait_delivered_seconds = 60;
  host.log.clear();
  EXPECT_TRUE(PlotJob(host, &spooler, start.path(), o).Run().Clean()) << Tail(Joined(host.log));
  EXPECT_EQ(OfisLeft(), 0u);
  EXPECT_EQ(plotter.Jobs().size(), 230u);
}

}  // namespace
}  // namespace tovrin
