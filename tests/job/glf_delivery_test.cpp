// A GLF goes to the spooler as it lay on the disk, a piece at a time, and
// only once the caller has the job on record.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <utility>

#include "fakes.h"
#include "job/delivery.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using Calls = std::vector<std::string>;

class GlfDeliveryTest : public ::testing::Test {
 protected:
  std::optional<SpoolerJob> Deliver(const std::string& glf, bool go_on = true) {
    return DeliverGlf(
        spooler, "Plotter1", folder / glf, "A.OFI",
        [&](const SpoolerJob& job) {
          told.push_back(job);
          return go_on;
        },
        error);
  }

  test::TempFolder folder;
  test::FakeSpooler spooler;
  std::vector<SpoolerJob> told;
  std::string error;
};

TEST_F(GlfDeliveryTest, SentInPiecesOnceTheCallerKnowsTheJob) {
  std::string bytes(150'000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  folder.WriteFile("A.GLF", bytes);
  std::optional<SpoolerJob> job = Deliver("A.GLF");
  ASSERT_TRUE(job) << error;
  EXPECT_EQ(told, std::vector<SpoolerJob>{*job});
  EXPECT_EQ(job->uuid, "urn:uuid:fake-1");
  const auto& doc = spooler.documents.at(0);
  EXPECT_TRUE(doc.bytes == bytes);
  EXPECT_EQ(doc.calls,
            (Calls{"open", "create", "start", "write", "write", "write", "end", "close"}));

  // The caller could not record it: no document, and the job is dropped.
  EXPECT_FALSE(Deliver("A.GLF", /*go_on=*/false));
  EXPECT_EQ(spooler.documents.at(1).calls, (Calls{"open", "create", "close"}));
}

// Other users write into the folder: what lies under the GLF's name may not
// be what the job wrote.
TEST_F(GlfDeliveryTest, ALinkOrAFifoInTheGlfsPlaceIsNotSent) {
  folder.WriteFile("secret", "not a plot");
  std::filesystem::create_symlink(folder / "secret", folder / "LINK.GLF");
  EXPECT_FALSE(Deliver("LINK.GLF"));
  EXPECT_NE(error.find("LINK.GLF"), std::string::npos) << error;
  ASSERT_EQ(::mkfifo((folder / "FIFO.GLF").c_str(), 0600), 0);
  EXPECT_FALSE(Deliver("FIFO.GLF"));  // and does not wait for a writer
  EXPECT_NE(error.find("FIFO.GLF"), std::string::npos) << error;
  EXPECT_TRUE(spooler.documents.empty());
}

// The document is the file as it was opened: bytes added meanwhile are not
// sent, a file cut short fails the delivery.
TEST_F(GlfDeliveryTest, AGlfChangingWhileSentIsNotFollowed) {
  const std::string bytes(100'000, 'x');
  folder.WriteFile("A.GLF", bytes);
  bool grown = false;
  spooler.on_write = [&](const test::FakeSpooler::Document&) {
    if (!std::exchange(grown, true))
      std::ofstream(folder / "A.GLF", std::ios::app) << std::string(100'000, 'y');
  };
  ASSERT_TRUE(Deliver("A.GLF")) << error;
  EXPECT_TRUE(spooler.documents.at(0).bytes == bytes);

  folder.WriteFile("B.GLF", bytes);
  spooler.on_write = [&](const test::FakeSpooler::Document&) {
    ::truncate((folder / "B.GLF").c_str(), 1000);
  };
  EXPECT_FALSE(Deliver("B.GLF"));
  EXPECT_NE(error.find("B.GLF"), std::string::npos) << error;
  EXPECT_EQ(spooler.documents.at(1).calls.back(), "close");  // not ended: cancelled
  EXPECT_NE(spooler.documents.at(1).calls.end()[-2], "end");
}

}  // namespace
}  // namespace tovrin
