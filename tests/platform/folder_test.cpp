#include "platform/folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/drawing_file.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i * 7 + i / 251);
  return s;
}

TEST(ReadWholeFile, ReadsALargeFileExactlyWithoutGrowingTheBuffer) {
  test::TempFolder dir;
  const std::string content = Pattern((5 << 20) + 123);  // past the huge-page size, odd length
  dir.WriteFile("A.OFI", content);
  std::vector<uint8_t> bytes(10, 0xAA);  // earlier contents are replaced
  std::string error;
  ASSERT_TRUE(ReadWholeFile(dir / "A.OFI", bytes, error)) << error;
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);
  // A drawing is held once: no second buffer of its size while reading.
  EXPECT_EQ(bytes.capacity(), bytes.size());
}

TEST(ReadWholeFile, ReadsAStreamWhoseSizeIsNotKnownAhead) {
  test::TempFolder dir;
  const std::string fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string content = Pattern(70000);  // several reads past the reported size 0
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << content; });
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(ReadWholeFile(fifo, bytes, error)) << error;
  writer.join();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);
}

TEST(ReadWholeFile, FoldersAndMissingFilesAreReportedWithNoBytes) {
  test::TempFolder dir;
  std::vector<uint8_t> bytes(3, 1);
  std::string error;
  EXPECT_FALSE(ReadWholeFile(dir.path(), bytes, error));
  EXPECT_EQ(error, "is a folder");
  EXPECT_TRUE(bytes.empty());
  bytes.assign(3, 1);
  EXPECT_FALSE(ReadWholeFile(dir / "none.ofi", bytes, error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(bytes.empty());
}

// A link in the spool folder may name another department's drawing: it is
// seen as a link and never read.
TEST(DrawingLinks, AreStampedThemselvesAndNeverOpened) {
  test::TempFolder dir;
  const std::string other = dir / "other";
  std::filesystem::create_directory(other);
  std::ofstream(other + "/SECRET.OFI", std::ios::binary) << Pattern(4000);
  std::filesystem::create_symlink(other + "/SECRET.OFI", dir / "LINK.OFI");
  dir.WriteFile("REAL.OFI", Pattern(100));
  std::string error;
  auto entries = ListStamped(
      dir.path(), [](const std::string&) { return true; }, error);
  ASSERT_TRUE(entries) << error;
  ASSERT_EQ(entries->size(), 3u);
  const FileStamp& link = (*entries)[0].stamp;
  EXPECT_EQ((*entries)[0].name, "LINK.OFI");
  EXPECT_TRUE(link.link);
  EXPECT_FALSE(link.regular);
  EXPECT_EQ(link.size, (other + "/SECRET.OFI").size());  // the link's own size
  EXPECT_FALSE((*entries)[1].stamp.link);
  EXPECT_TRUE((*entries)[1].stamp.regular);
  EXPECT_EQ(StampOf(dir / "LINK.OFI", error), link);

  DrawingFile file;
  FileStamp opened;
  EXPECT_EQ(file.Open(dir / "LINK.OFI", 1 << 20, opened, error), ReadResult::NotAFile);
  EXPECT_EQ(error, "is a symbolic link");
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.Fd(), -1);
  ASSERT_EQ(file.Open(dir / "REAL.OFI", 1 << 20, opened, error), ReadResult::Ok) << error;
  EXPECT_GE(::fcntl(file.Fd(), F_GETFD), 0);
  EXPECT_EQ(opened, *StampOf(dir / "REAL.OFI", error));
}

TEST(CurrentFolder, IsTheProcessFolderOrDotWhenItIsGone) {
  const std::string before = CurrentFolder();
  {
    test::TempFolder dir;
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    EXPECT_EQ(CurrentFolder(), std::filesystem::canonical(dir.path()).string());
    std::filesystem::remove_all(dir.path());
    EXPECT_EQ(CurrentFolder(), ".");
  }
  ASSERT_EQ(::chdir(before.c_str()), 0);
}

}  // namespace
}  // namespace tovrin
