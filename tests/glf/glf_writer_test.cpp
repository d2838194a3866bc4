#include "glf/glf_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <random>
#include <string>
#include <thread>
#include <utility>

#include "temp_folder.h"
#include "thread_limit.h"

namespace tovrin {
namespace {

// Bytes that show any piece written twice, dropped or out of order.
std::string Numbered(size_t size) {
  std::string bytes;
  bytes.reserve(size + 16);
  for (size_t i = 0; bytes.size() < size; ++i) bytes += std::to_string(i) + ';';
  bytes.resize(size);
  return bytes;
}

// Writes `bytes` in uneven pieces through both ways in: Write, and
// Room/Commit with more room asked than used.
void WriteInPieces(GlfWriter& out, const std::string& bytes) {
  size_t at = 0;
  for (size_t n = 0; at < bytes.size(); ++n) {
    const size_t piece = std::min<size_t>(bytes.size() - at, n % 7 == 0 ? 70000 : 1 + n % 5000);
    if (n % 2 == 0) {
      out.Write(std::string_view(bytes).substr(at, piece));
    } else {
      char* p = out.Room(piece + 100);
      bytes.copy(p, piece, at);
      out.Commit(p + piece);
    }
    at += piece;
  }
}

TEST(GlfWriter, BigAndSmallFilesHoldExactlyWhatWasWritten) {
  // A small GLF is written on the job's thread; from the second megabyte
  // on, the buffers go out on a writing thread of their own.
  test::TempFolder folder;
  for (size_t size : {size_t{0}, size_t{1000}, size_t{1} << 20, size_t{9'500'000}}) {
    const std::string bytes = Numbered(size);
    GlfWriter out;
    std::string error;
    ASSERT_TRUE(out.Open(folder / "A.GLF", error)) << error;
    WriteInPieces(out, bytes);
    EXPECT_EQ(out.BytesWritten(), size);
    ASSERT_TRUE(out.Finish(/*to_disk=*/size % 2 == 0)) << out.ErrorText();
    EXPECT_TRUE(folder.ReadFile("A.GLF") == bytes) << size;
  }
}

// Plain bytes, polyline-encoded values and decimal numbers mixed, as the
// translation writes them.
void WriteMixed(GlfWriter& out, size_t rounds) {
  const NumberPattern whole("########"), degrees("###.0####");
  std::mt19937 rng(3);
  for (size_t n = 0; n < rounds; ++n) {
    out.Write("PE<=");
    const size_t count = n % 50 == 0 ? 512 : 1 + n % 9;
    int64_t* v = out.ValuesRoom(count);
    for (size_t i = 0; i < count; ++i)
      *v++ = static_cast<int64_t>(rng() % 200001) - 100000 + (n % 97 == 0 ? int64_t{1} << 40 : 0);
    out.CommitValues(v);
    out.Write(";PDAA");
    WriteNumber(out, static_cast<double>(rng() % 40000) / 7, whole);
    out.WriteRawByte(',');
    WriteNumber(out, (static_cast<double>(rng() % 720000) - 360000) / 1000, degrees);
    if (n % 1000 == 0) WriteNumber(out, n % 2000 ? std::nan("") : 1e300, degrees);
  }
}

TEST(GlfWriter, ValuesAndNumbersComeOutInPlaceOnEitherThread) {
  // Small, and big enough for the writing thread to take most of it.
  test::TempFolder folder;
  for (size_t rounds : {size_t{10}, size_t{200'000}}) {
    GlfWriter memory;
    WriteMixed(memory, rounds);
    const std::string expected = memory.Bytes();
    GlfWriter out;
    std::string error;
    ASSERT_TRUE(out.Open(folder / "A.GLF", error)) << error;
    WriteMixed(out, rounds);
    ASSERT_TRUE(out.Finish()) << out.ErrorText();
    EXPECT_EQ(out.BytesWritten(), expected.size());  // exact once written out
    EXPECT_TRUE(folder.ReadFile("A.GLF") == expected) << rounds;
    EXPECT_EQ(out.ThreadNote(), "");
  }
}

TEST(GlfWriter, WithoutAThreadToSpareTheSameBytesGoOutOnTheCallersThread) {
  GlfWriter memory;
  WriteMixed(memory, 200'000);
  const std::string expected = memory.Bytes();
  ASSERT_GT(expected.size(), 4'000'000u);
  test::TempFolder folder;
  const int fd = ::open((folder / "A.GLF").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  const int status = test::RunWithoutThreads([fd] {
    GlfWriter out;
    std::string error;
    if (!out.Open(fd, error)) return 1;
    WriteMixed(out, 200'000);
    if (!out.Finish()) return 2;
    if (::fcntl(fd, F_GETFD) != -1) return 3;  // the writer closed what it was given
    return out.ThreadNote().empty() ? 4 : 0;
  });
  ::close(fd);
  if (status == test::kNoThreadLimitHere) GTEST_SKIP() << "no task limit can be set up here";
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(folder.ReadFile("A.GLF") == expected);
}

// The n-th number of a number-heavy GLF. The first ones come out at their
// shortest text: zeros, and values that are not finite ("0" whatever the
// pattern); the others mostly longer.
std::pair<double, NumberPattern> NthNumber(size_t n, std::mt19937& rng) {
  static const NumberPattern patterns[] = {NumberPattern("###.0####"), NumberPattern("##0.00"),
                                           NumberPattern("########"), NumberPattern("000")};
  const NumberPattern& pattern = patterns[n % 4];
  if (n < 200'000) {
    const double shortest[] = {0.0, -0.0, std::nan(""), -INFINITY, -0.000001};
    return {shortest[n % 5], pattern};
  }
  return {(static_cast<double>(rng() % 2'000'000) - 1'000'000) / 97, pattern};
}

TEST(GlfWriter, CountOfANumberHeavyGlfNeverPassesItsSizeNorLagsFarBehind) {
  // The in-memory writer's count is exact. The file writer's may lag by
  // what is buffered and queued (three pieces, under a megabyte of digits
  // here), never more: the writing thread reports what its pieces came to.
  test::TempFolder folder;
  GlfWriter memory, out;
  std::string error;
  ASSERT_TRUE(out.Open(folder / "A.GLF", error)) << error;
  std::mt19937 rng(11);
  for (size_t n = 0; n < 2'000'000; ++n) {
    const auto [value, pattern] = NthNumber(n, rng);
    memory.WriteNumber(value, pattern);
    out.WriteNumber(value, pattern);
    if (n % 7 == 0) memory.WriteRawByte(','), out.WriteRawByte(',');
    if (n % 1000 != 999) continue;
    const uint64_t exact = memory.BytesWritten(), least = out.BytesAtLeast();
    if (n < 200'000) {
      ASSERT_EQ(least, exact) << n;  // all at their shortest
    }
    ASSERT_LE(least, exact) << n;
    ASSERT_GE(least + (1 << 20), exact) << n;
  }
  ASSERT_TRUE(out.Finish()) << out.ErrorText();
  EXPECT_EQ(out.BytesWritten(), memory.BytesWritten());
  EXPECT_TRUE(folder.ReadFile("A.GLF") == memory.Bytes());
}

TEST(GlfWriter, NoByteGoesIntoTheFilePastItsSizeLimit) {
  // Met on the caller's thread below a megabyte, on the writing thread
  // above, closed or discarded; a GLF of exactly the limit is written whole.
  GlfWriter memory;
  WriteMixed(memory, 200'000);
  const std::string whole = memory.Bytes();
  test::TempFolder folder;
  for (uint64_t limit : {uint64_t{100'000}, uint64_t{5'000'000}, uint64_t{whole.size()}}) {
    GlfWriter out;
    std::string error;
    ASSERT_TRUE(out.Open(folder / "A.GLF", error)) << error;
    out.SetSizeLimit(limit);
    WriteMixed(out, 200'000);
    if (limit == 5'000'000) {
      out.Discard();
    } else {
      ASSERT_TRUE(out.Finish()) << out.ErrorText();  // withheld, not failed
    }
    const std::string file = folder.ReadFile("A.GLF");
    EXPECT_LE(file.size(), limit);
    EXPECT_TRUE(whole.compare(0, file.size(), file) == 0) << limit;
    if (limit == whole.size()) {
      EXPECT_TRUE(file == whole);
    } else {
      EXPECT_GT(out.BytesWritten(), limit);  // and so refused
    }
  }
}

TEST(GlfWriter, DiscardWritesNeitherTheBufferNorTheQueuedPieces) {
  // The pipe's reader pauses at 1.5 MB: the writing thread is inside its
  // second piece of a megabyte, the third is queued and the rest buffered
  // when Discard comes. Only the second is finished.
  test::TempFolder folder;
  const std::string path = folder / "A.GLF";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::atomic<bool> paused = false, discarding = false;
  std::string received;
  std::thread reader([&] {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char chunk[65536];
    for (ssize_t n; fd >= 0 && (n = ::read(fd, chunk, sizeof chunk)) > 0;) {
      received.append(chunk, static_cast<size_t>(n));
      if (received.size() < 1'500'000 || received.size() - n >= 1'500'000) continue;
      paused = true;
      while (!discarding) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::this_thread::sleep_for(std::chrono::milliseconds(300));  // Discard has begun
    }
    if (fd >= 0) ::close(fd);
  });
  const std::string bytes = Numbered(3'500'000);
  GlfWriter out;
  std::string error;
  ASSERT_TRUE(out.Open(path, error)) << error;
  WriteInPieces(out, bytes);
  while (!paused) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  discarding = true;
  out.Discard();
  reader.join();
  EXPECT_GT(received.size(), 1'500'000u);
  EXPECT_LT(received.size(), 2'300'000u);  // two pieces, at most 1.1 MB each
  EXPECT_TRUE(bytes.compare(0, received.size(), received) == 0);
}

TEST(GlfWriter, SlowDiskGetsEveryPieceInOrder) {
  // A pipe read slowly stands for a slow disk: the writing thread falls
  // behind, and the job's thread waits for it rather than reorder or drop.
  test::TempFolder folder;
  const std::string path = folder / "A.GLF";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    std::FILE* pipe = std::fopen(path.c_str(), "rb");
    char chunk[65536];
    for (size_t n; pipe && (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
      received.append(chunk, n);
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    if (pipe) std::fclose(pipe);
  });
  const std::string bytes = Numbered(8'000'000);
  GlfWriter out;
  std::string error;
  ASSERT_TRUE(out.Open(path, error)) << error;
  WriteInPieces(out, bytes);
  EXPECT_TRUE(out.Finish(/*to_disk=*/true)) << out.ErrorText();  // a pipe has nothing to sync
  reader.join();
  EXPECT_TRUE(received == bytes);
}

TEST(GlfWriter, WriterDroppedUnfinishedStopsItsThread) {
  // An aborted drawing's writer goes away unclosed; its thread must finish
  // before the file is closed under it.
  test::TempFolder folder;
  {
    GlfWriter out;
    std::string error;
    ASSERT_TRUE(out.Open(folder / "A.GLF", error));
    WriteInPieces(out, Numbered(5'000'000));
  }
  EXPECT_GE(folder.ReadFile("A.GLF").size(), 4'000'000u);
}

// In a child process, whose file size limit stops the writes after 1.5 MB:
// the first megabyte is written at once, the failure comes on the writing
// thread. Exit status 0 when Finish reported it.
int WriteBeyondTheSizeLimit(const std::string& path) {
  std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
  const rlimit limit{1'500'000, 1'500'000};
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
  GlfWriter out;
  std::string error;
  if (!out.Open(path, error)) return 4;
  WriteInPieces(out, Numbered(6'000'000));
  if (out.Finish(true)) return 1;
  return out.ErrorText().empty() ? 2 : 0;
}

TEST(GlfWriter, FailedWriteOnTheWritingThreadIsReportedAtFinish) {
  test::TempFolder folder;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(WriteBeyondTheSizeLimit(folder / "A.GLF"));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace tovrin
