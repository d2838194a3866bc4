#include "platform/plot_mark.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "as_nobody.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

PlotMark Delivered() {
  PlotMark m;
  m.size = 18446744073709551615u;
  m.mtime_ns = -1'234'567'890;
  m.inode = 42;
  m.state = "delivering";
  m.printer = "製図 Plotter-2";
  m.job_id = 2147483647;
  m.job_uuid = "urn:uuid:0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0";
  m.job_created = 1'700'000'000;
  m.since = 1'699'999'999;
  return m;
}

std::string LongPrinter() {
  PlotMark m = Delivered();
  m.printer = std::string(kMaxPlotMarkBytes, 'P');
  return FormatPlotMark(m);
}

bool SetRaw(const std::string& path, const std::string& bytes) {
  return ::setxattr(path.c_str(), kPlotMarkAttribute, bytes.data(), bytes.size(), 0) == 0;
}

TEST(PlotMark, RoundTripsOnTheFileWithoutChangingItsStamp) {
  test::TempFolder dir;
  dir.WriteFile("A.OFI", "drawing");
  std::string error;
  const FileStamp before = *StampOf(dir / "A.OFI", error);
  PlotMark mark = Delivered();
  mark.size = before.size;
  mark.mtime_ns = before.mtime_ns;
  mark.inode = before.inode;
  ASSERT_EQ(WritePlotMarkAt(dir.path(), "A.OFI", mark, error), MarkAccess::Done) << error;
  EXPECT_EQ(*StampOf(dir / "A.OFI", error), before);  // ctime only: the mark still matches
  PlotMark read;
  ASSERT_EQ(ReadPlotMarkAt(dir.path(), "A.OFI", read, error), MarkAccess::Done) << error;
  EXPECT_EQ(read, mark);
  EXPECT_TRUE(read.Matches(before));

  const int fd = ::open((dir / "A.OFI").c_str(), O_RDONLY);  // as the drawing is read
  mark.state = "finished";
  EXPECT_EQ(WritePlotMark(fd, mark, error), MarkAccess::Done) << error;
  EXPECT_EQ(ReadPlotMark(fd, read, error), MarkAccess::Done) << error;
  EXPECT_EQ(read.state, "finished");
  ::close(fd);

  EXPECT_EQ(RemovePlotMarkAt(dir.path(), "A.OFI", error), MarkAccess::Done) << error;
  EXPECT_EQ(ReadPlotMarkAt(dir.path(), "A.OFI", read, error), MarkAccess::None);
  EXPECT_EQ(RemovePlotMarkAt(dir.path(), "A.OFI", error), MarkAccess::Done);  // none left
  EXPECT_EQ(ReadPlotMarkAt(dir.path(), "none", read, error), MarkAccess::Failed);
  EXPECT_EQ(ReadPlotMarkAt("/proc/self", "status", read, error), MarkAccess::Unsupported);
}

TEST(PlotMark, AnythingMalformedIsNoMark) {
  const std::string good = FormatPlotMark(Delivered());
  PlotMark parsed;
  ASSERT_TRUE(ParsePlotMark(good, parsed));
  PlotMark deleting = Delivered();
  deleting.then_delete = true;  // the one field a mark may go without
  EXPECT_EQ(FormatPlotMark(deleting), good + "delete=1\n");
  ASSERT_TRUE(ParsePlotMark(good + "delete=1\n", parsed));
  EXPECT_EQ(parsed, deleting);
  auto with = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  const std::string bad[] = {
      "",
      with("tovrin-plot 1", "tovrin-plot 2"),
      with("job=2147483647\n", ""),                // missing
      with("inode=42\n", "inode=42\ninode=42\n"),  // twice
      with("inode=42", "inode=42x"),               // junk after
      with("inode=42", "inode=+42"),               // not canonical
      with("inode=42", "inode= 42"),               // blank
      with("inode=42", "inode=042"),               // leading zero
      with("inode=42", "inode="),                  // empty
      with("inode=42", "inode=-42"),               // unsigned
      with("size=18446744073709551615", "size=18446744073709551616"),
      with("job=2147483647", "job=2147483648"),
      with("job=2147483647", "job=-1"),
      with("mtime=-1234567890", "mtime=-01234567890"),
      with("state=delivering", "state=done"),
      with("state=delivering", "state="),
      with("Plotter-2", "Plotter\x01-2"),  // control byte
      with("Plotter-2", "Plotter\x7f-2"),
      with("0f1e", "0f\r1e"),
      with("since=1699999999\n", "since=1699999999"),  // cut short
      good + "extra=1\n",
      good + "delete=0\n",  // written only when set
      good + "delete=1\ndelete=1\n",
      LongPrinter(),  // well formed, but past the bound
  };
  for (const std::string& bytes : bad) {
    SCOPED_TRACE(bytes);
    PlotMark m = Delivered();
    EXPECT_FALSE(ParsePlotMark(bytes, m));
    EXPECT_EQ(m, Delivered());  // left as it was
  }

  // On a file: junk and an attribute past the bound read as no mark; a mark
  // that would not read back as itself is never written.
  test::TempFolder dir;
  dir.WriteFile("A.OFI", "drawing");
  std::string error;
  ASSERT_TRUE(SetRaw(dir / "A.OFI", bad[1]));
  EXPECT_EQ(ReadPlotMarkAt(dir.path(), "A.OFI", parsed, error), MarkAccess::None);
  ASSERT_TRUE(SetRaw(dir / "A.OFI", good + std::string(kMaxPlotMarkBytes, '\n')));
  EXPECT_EQ(ReadPlotMarkAt(dir.path(), "A.OFI", parsed, error), MarkAccess::None);
  PlotMark unwritable = Delivered();
  unwritable.printer = "two\nlines";
  EXPECT_EQ(WritePlotMarkAt(dir.path(), "A.OFI", unwritable, error), MarkAccess::Failed);
  unwritable.printer = std::string(kMaxPlotMarkBytes, 'P');
  EXPECT_EQ(WritePlotMarkAt(dir.path(), "A.OFI", unwritable, error), MarkAccess::Failed);
}

// A user who may not change a file cannot mark it: no fault, the job then
// relies on its history. A link is never marked or read through.
TEST(PlotMark, AFileThisUserMayNotChangeIsUnsupported) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  test::TempFolder dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
  dir.WriteFile("ROOT.OFI", "root's drawing");
  ASSERT_EQ(::chmod((dir / "ROOT.OFI").c_str(), 0644), 0);
  std::string error;
  ASSERT_EQ(WritePlotMarkAt(dir.path(), "ROOT.OFI", Delivered(), error), MarkAccess::Done);
  std::filesystem::create_symlink(dir / "ROOT.OFI", dir / "LINK.OFI");
  const int status = test::AsNobody([&] {
    std::string why;
    PlotMark m;
    const int fd = ::open((dir / "ROOT.OFI").c_str(), O_RDONLY);
    if (ReadPlotMark(fd, m, why) != MarkAccess::Done || m != Delivered()) return 1;
    if (WritePlotMark(fd, m, why) != MarkAccess::Unsupported || why.empty()) return 2;
    if (WritePlotMarkAt(dir.path(), "ROOT.OFI", m, why) != MarkAccess::Unsupported) return 3;
    if (RemovePlotMarkAt(dir.path(), "ROOT.OFI", why) != MarkAccess::Unsupported) return 4;
    return 0;
  });
  EXPECT_EQ(status, 0);
  PlotMark m;
  EXPECT_EQ(ReadPlotMarkAt(dir.path(), "LINK.OFI", m, error), MarkAccess::None);
  EXPECT_EQ(WritePlotMarkAt(dir.path(), "LINK.OFI", Delivered(), error), MarkAccess::Unsupported);
  EXPECT_EQ(ReadPlotMarkAt(dir.path(), "ROOT.OFI", m, error), MarkAccess::Done);  // still root's
}

}  // namespace
}  // namespace tovrin
