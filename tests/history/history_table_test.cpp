#include "history/history_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <sstream>

namespace tovrin {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Display column at which `needle` starts in `line`.
size_t ColumnOf(const std::string& line, const std::string& needle) {
  size_t at = line.find(needle);
  return at == std::string::npos ? std::string::npos : DisplayWidth(line.substr(0, at));
}

class HistoryTable : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    old_tz_ = tz ? std::optional<std::string>(tz) : std::nullopt;
    ::setenv("TZ", "JST-9", 1);
    ::tzset();
  }
  void TearDown() override {
    if (old_tz_)
      ::setenv("TZ", old_tz_->c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
  std::optional<std::string> old_tz_;
};

TEST_F(HistoryTable, ColumnsLineUpWithFullWidthTextAndTimesAreLocal) {
  HistoryRow a;
  a.started_ms = 1'700'000'000'000;  // 2023-11-14 22:13:20 UTC
  a.ended_ms = a.started_ms + 61'000;
  a.drawing.name = "A.OFI";
  a.drawing.size = 1234;
  a.header = "軸受ﾌﾞﾗｹｯﾄ";
  a.glf_bytes = 98765;
  a.result = history_result::kFinished;
  a.printer = "Plotter";
  a.cups_job_id = 17;
  a.cups_state = "completed";
  HistoryRow b;
  b.started_ms = a.started_ms + 120'000;
  b.drawing.name = "LONGER-NAME.OFI";
  b.drawing.size = 55;
  b.header = "x\ty\r\n";
  b.result = history_result::kDelivering;
  b.reason = "プリンタ停止";

  std::vector<std::string> lines = Lines(FormatHistoryTable({a, b}));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].rfind("2023-11-15 07:13:20  2023-11-15 07:14:21  A.OFI", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("2023-11-15 07:15:20  -", 0), 0u) << lines[2];
  for (const char* heading : {"result", "printer", "cups-job"}) {
    size_t col = ColumnOf(lines[0], heading);
    EXPECT_EQ(ColumnOf(lines[1], heading == std::string("result")    ? "finished"
                                 : heading == std::string("printer") ? "Plotter"
                                                                     : "17 completed"),
              col)
        << heading;
  }
  EXPECT_EQ(ColumnOf(lines[2], "delivering"), ColumnOf(lines[0], "result"));
  // Byte counts end in the same column.
  EXPECT_EQ(ColumnOf(lines[1], "  1234  ") + 6, ColumnOf(lines[2], "  55  ") + 4);
  EXPECT_TRUE(lines[2].ends_with("プリンタ停止"));  // the reason last, unpadded
  EXPECT_EQ(lines[2].find('\t'), std::string::npos);
  EXPECT_EQ(lines[2].find('\r'), std::string::npos);
}

TEST_F(HistoryTable, NoRowsGivesTheHeadingOnly) {
  std::vector<std::string> lines = Lines(FormatHistoryTable({}));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("started", 0), 0u);
  EXPECT_TRUE(lines[0].ends_with("reason"));
}

TEST(DisplayWidth, CountsWideCharactersTwiceAndHalfWidthOnce) {
  EXPECT_EQ(DisplayWidth("AB"), 2u);
  EXPECT_EQ(DisplayWidth("図面"), 4u);
  EXPECT_EQ(DisplayWidth("ﾌﾟﾛｯﾀ"), 5u);
  EXPECT_EQ(DisplayWidth("　"), 2u);  // ideographic space
  EXPECT_EQ(DisplayWidth("Ａ1"), 3u);
  EXPECT_EQ(DisplayWidth("\xE5\x9B"), 1u);  // a cut sequence counts, never overruns
}

}  // namespace
}  // namespace tovrin
