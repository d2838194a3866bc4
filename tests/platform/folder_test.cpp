#include "platform/folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

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
