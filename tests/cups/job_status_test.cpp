// What CUPS says of delivered jobs, and how long a silent server may keep
// the program waiting. Against the private cupsd where one is needed.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <cstdio>

#include "fake_plotter.h"
#include "job/delivery.h"
#include "platform/cups/cups_spooler.h"
#include "private_cups.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using State = PrintJobStatus::State;
using test::FakePlotter;
using test::FrozenCupsd;
using test::QueuePolicy;
using test::TempFolder;
using test::WaitForJob;
using Clock = std::chrono::steady_clock;

constexpr int kTimeoutMs = 1000;
// A request may wait the timeout, then libcups's own one-second wait for
// the server's "100 Continue": well below this, far below the minutes an
// unbounded client waits.
constexpr auto kBound = std::chrono::milliseconds(kTimeoutMs + 3000);

bool Settled(const PrintJobStatus& s) { return s.state != State::Pending; }

std::string Bytes(size_t n) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 13 + i / 4096) & 0xFF);
  return bytes;
}

// job-name and the document's name as the job's owner sees them.
std::pair<std::string, std::string> JobNames(int job_id) {
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  std::string uri = "ipp://localhost/jobs/" + std::to_string(job_id);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  auto text = [&](const char* name) {
    ipp_attribute_t* a = ippFindAttribute(response, name, IPP_TAG_ZERO);
    const char* t = a ? ippGetString(a, 0, nullptr) : nullptr;
    return std::string(t ? t : "");
  };
  std::pair<std::string, std::string> names = {text("job-name"), text("document-name-supplied")};
  ippDelete(response);
  return names;
}

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

class JobStatusTest : public test::PrivateCupsTest {
 protected:
  // Delivers `bytes` as the drawing `name`; the CUPS job (id 0 on failure).
  SpoolerJob Deliver(const std::string& queue, const std::string& name, const std::string& bytes) {
    folder.WriteFile("D.GLF", bytes);
    std::string error;
    std::optional<SpoolerJob> job = DeliverGlf(
        spooler, queue, folder / "D.GLF", name, [](const SpoolerJob&) { return true; }, error);
    EXPECT_TRUE(job) << error;
    return job.value_or(SpoolerJob{});
  }

  TempFolder folder;
  CupsSpooler spooler;  // the program's own timeout: a busy machine is no hung server
};

TEST_F(JobStatusTest, JobThePlotterTookIsCompletedAndNamedAfterItsDrawing) {
  FakePlotter plotter(cups.port);
  ASSERT_TRUE(plotter.ok());
  SpoolerJob a = Deliver(cups.queue, "A.OFI", Bytes(1000));
  SpoolerJob b = Deliver(cups.queue, "B.OFI", Bytes(2000));
  ASSERT_GT(a.id, 0);
  ASSERT_GT(b.id, a.id);
  for (const SpoolerJob& job : {a, b}) {
    PrintJobStatus s = WaitForJob(spooler, job, Settled);
    EXPECT_EQ(s.state, State::Completed) << s.state_text << ": " << s.reason;
    EXPECT_EQ(s.state_text, "completed");
    EXPECT_EQ(s.reason, "");
  }
  EXPECT_EQ(JobNames(a.id), std::make_pair(std::string("A.OFI"), std::string("Test")));
  EXPECT_EQ(JobNames(b.id), std::make_pair(std::string("B.OFI"), std::string("Test")));
  std::string listed = Output("lpstat -W all -o " + cups.queue);
  EXPECT_NE(listed.find(cups.queue + "-" + std::to_string(a.id) + " "), std::string::npos)
      << listed;
  EXPECT_NE(listed.find(cups.queue + "-" + std::to_string(b.id) + " "), std::string::npos)
      << listed;
}

TEST_F(JobStatusTest, PlotterRefusingConnectionsFailsTheJobWithCupsReason) {
  // The spare queue's port has no listener; the queue aborts failed jobs.
  SpoolerJob job = Deliver(cups.spare, "R.OFI", Bytes(100));
  ASSERT_GT(job.id, 0);
  PrintJobStatus s = WaitForJob(spooler, job, Settled);
  EXPECT_EQ(s.state, State::Failed);
  EXPECT_EQ(s.state_text, "aborted");
  EXPECT_NE(s.reason.find("cannot connect to 127.0.0.1:9"), std::string::npos) << s.reason;
}

TEST_F(JobStatusTest, JobOnAStoppedPrinterIsStoppedUntilCancelled) {
  QueuePolicy policy(cups.spare, "stop-printer");
  ASSERT_TRUE(policy.ok());
  SpoolerJob job = Deliver(cups.spare, "S.OFI", Bytes(100));
  ASSERT_GT(job.id, 0);
  PrintJobStatus s = WaitForJob(spooler, job, Settled);
  EXPECT_EQ(s.state, State::Stopped) << s.state_text;
  EXPECT_EQ(s.state_text, "pending");  // CUPS itself keeps it queued
  EXPECT_NE(s.reason.find("cannot connect to 127.0.0.1:9"), std::string::npos) << s.reason;

  ASSERT_TRUE(test::RunCupsTool("cancel " + std::to_string(job.id)));
  s = spooler.QueryJob(job);
  EXPECT_EQ(s.state, State::Failed);
  EXPECT_EQ(s.state_text, "canceled");
}

TEST_F(JobStatusTest, HeldJobWaitsForSomeone) {
  QueuePolicy policy(cups.queue, "abort-job");  // cancels the held job afterwards
  ASSERT_TRUE(test::RunCupsTool("cupsdisable " + cups.queue));
  SpoolerJob job = Deliver(cups.queue, "H.OFI", Bytes(100));
  ASSERT_GT(job.id, 0);
  ASSERT_TRUE(test::RunCupsTool("lp -i " + std::to_string(job.id) + " -H indefinite"));
  ASSERT_TRUE(test::RunCupsTool("cupsenable " + cups.queue));
  PrintJobStatus s = spooler.QueryJob(job);
  EXPECT_EQ(s.state, State::Stopped);
  EXPECT_EQ(s.state_text, "pending-held");
}

TEST_F(JobStatusTest, PlotterDroppingTheConnectionIsRetriedAndCompletesOnlyWhenWhole) {
  QueuePolicy policy(cups.queue, "retry-job");
  ASSERT_TRUE(policy.ok());
  // Larger than every socket buffer between CUPS and the plotter, so the
  // backend is still writing when the connection is reset.
  std::string bytes = Bytes(6 << 20);
  FakePlotter plotter(cups.port, 64 << 10);
  ASSERT_TRUE(plotter.ok());
  SpoolerJob job = Deliver(cups.queue, "D.OFI", bytes);
  ASSERT_GT(job.id, 0);
  ASSERT_TRUE(plotter.WaitForDrop(std::chrono::seconds(30)));
  PrintJobStatus during = spooler.QueryJob(job);
  EXPECT_EQ(during.state, State::Pending) << during.state_text << ": " << during.reason;

  PrintJobStatus s = WaitForJob(spooler, job, [](const PrintJobStatus& s) {
    return s.state == State::Completed || s.state == State::Failed;
  });
  EXPECT_EQ(s.state, State::Completed) << s.state_text << ": " << s.reason;
  ASSERT_TRUE(plotter.WaitForJobs(1, std::chrono::seconds(5)));
  EXPECT_TRUE(plotter.Jobs()[0] == bytes) << plotter.Jobs()[0].size() << " bytes";
}

TEST_F(JobStatusTest, UnknownJobCountsAsNotPrinted) {
  PrintJobStatus s = spooler.QueryJob({999999, {}, 0, "U.OFI", cups.queue});
  EXPECT_EQ(s.state, State::Lost);
  EXPECT_NE(s.reason.find("999999"), std::string::npos) << s.reason;
}

TEST_F(JobStatusTest, FrozenSchedulerIsNotRespondingWithinTheBound) {
  if (cups.pid <= 0) GTEST_SKIP() << "the private cupsd's process is not named";
  FakePlotter plotter(cups.port);
  CupsSpooler quick(kTimeoutMs);
  std::string error;
  std::unique_ptr<PrinterConnection> open = quick.OpenPrinter(cups.queue, error);
  ASSERT_TRUE(open) << error;
  SpoolerJob job;
  ASSERT_TRUE(open->CreateJob("F.OFI", job, error)) << error;
  ASSERT_TRUE(open->StartDocument("Test", error)) << error;
  {
    FrozenCupsd frozen(cups.pid);
    ASSERT_TRUE(frozen.ok());
    auto timed = [](const char* what, auto call) {
      Clock::time_point start = Clock::now();
      call();
      EXPECT_LT(Clock::now() - start, kBound) << what;
    };
    timed("default", [&] {
      EXPECT_EQ(quick.DefaultPrinter(), "");
      EXPECT_EQ(quick.LastError(), cups_texts::kNotResponding);
    });
    timed("list", [&] {
      EXPECT_TRUE(quick.InstalledPrinters().empty());
      EXPECT_EQ(quick.LastError(), cups_texts::kNotResponding);
    });
    timed("open", [&] {
      EXPECT_EQ(quick.OpenPrinter(cups.queue, error), nullptr);
      EXPECT_EQ(error, cups_texts::kNotResponding);
    });
    timed("query", [&] {
      PrintJobStatus s = quick.QueryJob(job);
      EXPECT_EQ(s.state, State::Unknown);
      EXPECT_EQ(s.reason, cups_texts::kNotResponding);
    });
    // One wait for all of them, not one each.
    timed("query many", [&] {
      std::vector<PrintJobStatus> states = quick.QueryJobs(std::vector<SpoolerJob>(5, job));
      ASSERT_EQ(states.size(), 5u);
      for (const PrintJobStatus& s : states) EXPECT_EQ(s.state, State::Unknown);
      EXPECT_EQ(states.back().reason, cups_texts::kNotResponding);
    });
    // A document under way: writes fill the socket, then give up.
    timed("document", [&] {
      std::string block = Bytes(1 << 16);
      std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(block.data()), block.size());
      bool written = true;
      for (int i = 0; i < 1024 && written; ++i) written = open->Write(span, error);
      if (written) written = open->EndDocument(error);
      EXPECT_FALSE(written);
      EXPECT_EQ(error, cups_texts::kNotResponding);
    });
    timed("close", [&] { open.reset(); });
  }
  EXPECT_EQ(spooler.DefaultPrinter(), cups.queue);  // answers again once it runs
  test::RunCupsTool("cancel -a " + cups.queue);
}

// Needs no cupsd: a socket that takes connections and never answers is what
// a hung scheduler looks like to its clients.
TEST(CupsSilentServer, EveryRequestEndsWithinTheBound) {
  TempFolder dir;
  std::string path = dir / "silent.sock";
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(fd, 64), 0);
  cupsSetServer(path.c_str());
  CupsSpooler spooler(kTimeoutMs);
  Clock::time_point start = Clock::now();
  EXPECT_EQ(spooler.DefaultPrinter(), "");
  EXPECT_EQ(spooler.LastError(), cups_texts::kNotResponding);
  std::string error;
  EXPECT_EQ(spooler.OpenPrinter("Plotter", error), nullptr);
  EXPECT_EQ(error, cups_texts::kNotResponding);
  EXPECT_EQ(spooler.OpenPrinter("", error), nullptr);  // the default could not be asked for
  EXPECT_EQ(error, cups_texts::kNotResponding);
  PrintJobStatus s = spooler.QueryJob({1, {}, 0, "A.OFI", "Plotter"});
  EXPECT_EQ(s.state, State::Unknown);
  EXPECT_EQ(s.reason, cups_texts::kNotResponding);
  EXPECT_FALSE(spooler.FindJobs("Plotter", "A.OFI", 0, error));  // no answer is no "no jobs"
  EXPECT_EQ(error, cups_texts::kNotResponding);
  EXPECT_FALSE(spooler.CancelJob({1, {}, 0, "A.OFI", "Plotter"}, error));
  EXPECT_EQ(error, cups_texts::kNotResponding);
  EXPECT_LT(Clock::now() - start, 6 * kBound);
  cupsSetServer(nullptr);
  ::close(fd);
}

}  // namespace
}  // namespace tovrin
