// CUPS jobs known by their identity: found by name and time, and not taken
// for another job that got their id after CUPS lost its state.
#include <gtest/gtest.h>

#include <ctime>

#include "fake_plotter.h"
#include "job/delivery.h"
#include "platform/cups/cups_spooler.h"
#include "private_cups.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using State = PrintJobStatus::State;
using test::RunCupsTool;

class JobIdentityTest : public test::PrivateCupsTest {
 protected:
  std::optional<SpoolerJob> Deliver(const std::string& name, SpoolerJob* told = nullptr) {
    folder.WriteFile("D.GLF", "\x1b%-1BIN;\x1b%0A");
    std::string error;
    auto job = DeliverGlf(
        spooler, cups.queue, folder / "D.GLF", name,
        [&](const SpoolerJob& j) {
          if (told) *told = j;
          return true;
        },
        error);
    EXPECT_TRUE(job) << error;
    return job;
  }

  test::TempFolder folder;
  CupsSpooler spooler;
};

TEST_F(JobIdentityTest, JobsAreKnownByTheirIdentityAndFoundByNameAndTime) {
  test::FakePlotter plotter(cups.port);
  ASSERT_TRUE(plotter.ok());
  const int64_t before = std::time(nullptr);
  std::string error;
  // Created, its document never sent: a program killed right after.
  std::unique_ptr<PrinterConnection> unsent = spooler.OpenPrinter(cups.queue, error);
  ASSERT_TRUE(unsent) << error;
  SpoolerJob incoming;
  ASSERT_TRUE(unsent->CreateJob("FIND.OFI", incoming, error)) << error;
  EXPECT_GT(incoming.id, 0);
  EXPECT_TRUE(incoming.uuid.starts_with("urn:uuid:")) << incoming.uuid;
  EXPECT_GE(incoming.created, before - 1);
  EXPECT_LE(incoming.created, std::time(nullptr) + 1);
  EXPECT_EQ(incoming.name, "FIND.OFI");
  EXPECT_EQ(incoming.printer, cups.queue);
  EXPECT_EQ(spooler.QueryJob(incoming).state, State::Incoming);

  SpoolerJob told;
  std::optional<SpoolerJob> sent = Deliver("FIND.OFI", &told);
  ASSERT_TRUE(sent);
  EXPECT_EQ(*sent, told);  // the caller knew it before the document went
  EXPECT_NE(sent->uuid, incoming.uuid);
  ASSERT_TRUE(Deliver("OTHER.OFI"));
  PrintJobStatus s =
      test::WaitForJob(spooler, *sent, [](auto& s) { return s.state != State::Pending; });
  EXPECT_EQ(s.state, State::Completed) << s.state_text << ": " << s.reason;

  auto found = spooler.FindJobs(cups.queue, "FIND.OFI", before, error);
  ASSERT_TRUE(found) << error;
  EXPECT_EQ(*found, (std::vector<SpoolerJob>{incoming, *sent}));
  found = spooler.FindJobs(cups.queue, "FIND.OFI", sent->created + 1, error);
  ASSERT_TRUE(found) << error;
  EXPECT_TRUE(found->empty());
  EXPECT_FALSE(spooler.FindJobs("NoSuchQueue", "FIND.OFI", before, error));
  EXPECT_FALSE(error.empty());

  unsent.reset();  // a document never finished is cancelled
  EXPECT_EQ(spooler.QueryJob(incoming).state, State::Failed);
  EXPECT_TRUE(spooler.CancelJob(incoming, error)) << error;  // nothing left to cancel
}

// As CUPS reinstalled or its state lost in a power cut: it numbers its jobs
// from 1 again, and the next one takes the id of ours.
TEST_F(JobIdentityTest, AnIdCupsGaveAgainIsLostAndTheOtherJobIsNotCancelled) {
  if (cups.forget.empty()) GTEST_SKIP() << "the private cupsd cannot be restarted";
  test::QueuePolicy policy(cups.queue, "abort-job");      // enables the queue again afterwards
  ASSERT_TRUE(RunCupsTool("cupsdisable " + cups.queue));  // the jobs wait
  ASSERT_TRUE(RunCupsTool(cups.forget));
  std::optional<SpoolerJob> ours = Deliver("A.OFI");
  ASSERT_TRUE(ours);
  ASSERT_EQ(ours->id, 1);
  ASSERT_TRUE(RunCupsTool(cups.forget));
  folder.WriteFile("lp.txt", "another user's job");
  ASSERT_TRUE(RunCupsTool("lp -d " + cups.queue + " -t A.OFI " + (folder / "lp.txt")));
  std::string error;
  auto found = spooler.FindJobs(cups.queue, "A.OFI", 0, error);
  ASSERT_TRUE(found) << error;
  ASSERT_EQ(found->size(), 1u);
  const SpoolerJob other = found->front();
  ASSERT_EQ(other.id, 1);

  PrintJobStatus s = spooler.QueryJob(*ours);
  EXPECT_EQ(s.state, State::Lost);
  EXPECT_NE(s.reason.find("CUPS job 1 is another job now"), std::string::npos) << s.reason;
  // A row that keeps no creation time, and the same name: the uuid tells.
  SpoolerJob untimed = *ours;
  untimed.created = 0;
  EXPECT_EQ(spooler.QueryJob(untimed).state, State::Lost);
  SpoolerJob moved = other;  // lpmove'd: still that job
  moved.printer = cups.spare;
  EXPECT_EQ(spooler.QueryJob(moved).state, State::Stopped);

  EXPECT_TRUE(spooler.CancelJob(untimed, error)) << error;
  EXPECT_EQ(spooler.QueryJob(other).state, State::Stopped);  // waits on the disabled queue
  EXPECT_TRUE(spooler.CancelJob(other, error)) << error;
  EXPECT_EQ(spooler.QueryJob(other).state, State::Failed);
}

}  // namespace
}  // namespace tovrin
