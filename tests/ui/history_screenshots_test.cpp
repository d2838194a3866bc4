// A picture of the job history window with rows of every kind; runs only
// when TOVRIN_SHOT_DIR names a folder (scripts/screenshot-windows.sh sets it).
#include <gtest/gtest.h>

#include <cstdlib>

#include "history/job_history.h"
#include "screenshot.h"
#include "temp_folder.h"
#include "ui/history_window.h"

namespace tovrin {
namespace {

TEST(HistoryScreenshots, Capture) {
  const char* out = std::getenv("TOVRIN_SHOT_DIR");
  if (!out || !*out) GTEST_SKIP() << "TOVRIN_SHOT_DIR not set";
  test::TempFolder start;
  std::string path = start / kHistoryFileName;
  {
    std::string error;
    auto h = JobHistory::Open(path, error);
    ASSERT_TRUE(h) << error;
    struct Sample {
      const char* name;
      const char* header;
      const char* result;
      const char* state;
      const char* reason;
    };
    const Sample samples[] = {
        {"BRACKET.OFI", "軸受ﾌﾞﾗｹｯﾄ", history_result::kFinished, "completed", ""},
        {"SHAFT.OFI", "ｼｬﾌﾄ 外径図", history_result::kDelivering, "processing", ""},
        {"FLANGE.OFI", "フランジ 組図", history_result::kFailed, "aborted",
         "cannot connect to 127.0.0.1:9100"},
        {"COVER.OFI", "カバー", history_result::kIncomplete, "", "図面の終わりがありません"},
        {"PLATE.OFI", "ﾌﾟﾚｰﾄ", history_result::kAborted, "", ""},
    };
    int64_t t = 1'765'000'000'000;
    int job_id = 120;
    for (const Sample& s : samples) {
      HistoryRow r;
      r.job = 7;
      r.started_ms = t;
      r.ended_ms = t + 4200;
      r.drawing = {start.path(), s.name, 18432, 1, 2};
      r.header = s.header;
      r.glf_bytes = 96512;
      r.result = s.result;
      r.reason = s.reason;
      r.printer = "Plotter";
      if (*s.state) {
        r.cups_job_id = job_id++;
        r.cups_state = s.state;
      }
      ASSERT_TRUE(h->Add(r)) << h->LastError();
      t += 65'000;
    }
  }
  HistoryWindow window(path, nullptr);
  std::string file = std::string(out) + "/history-window.png";
  EXPECT_TRUE(test::Save(window, file)) << file;
}

}  // namespace
}  // namespace tovrin
