// Any bytes as an OFI drawing, translated under one of several settings: the
// translation ends, the GLF is framed by its preamble and trailer, and
// reading the drawing through the smallest window gives the same GLF as
// reading it whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "fuzz_check.h"
#include "glf/glf_writer.h"
#include "ofi/job_snapshot.h"
#include "settings/plot_settings.h"
#include "translate/reader_cycle.h"

namespace {

using tovrin::PlotSettings;

// The first byte picks the settings: fonts, plotter kind, reduction, margins.
PlotSettings SettingsFor(uint8_t choice) {
  PlotSettings s = PlotSettings::Defaults("/tmp");
  s.MojiE = (choice & 1) ? "全角" : "半角";
  s.MojiK = (choice & 2) ? "全角" : "半角";
  static const char* const kPlotters[] = {"A1ﾌﾟﾛｯﾀﾛｰﾙ紙", "A0ﾌﾟﾛｯﾀﾛｰﾙ紙", "A0ﾌﾟﾛｯﾀｶｯﾄ紙",
                                          "A1ﾌﾟﾛｯﾀｶｯﾄ紙"};
  s.Plot = kPlotters[(choice >> 2) & 3];
  static const char* const kReductions[] = {"100", "A3", "50", "A0"};
  s.OfiS = kReductions[(choice >> 4) & 3];
  if (choice & 0x40) {
    s.OfiMajX = 12.5f;
    s.OfiMajY = 7;
  }
  if (choice & 0x80) {
    s.OfiB4 = "横";
    s.MojiX = 0.1f;
    s.MojiW = -0.2f;
  }
  return s;
}

class BytesSource : public tovrin::WordSource {
 public:
  explicit BytesSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t ReadAt(uint64_t offset, uint8_t* into, size_t size) override {
    if (offset >= bytes_.size()) return 0;
    const size_t n = std::min<size_t>(size, bytes_.size() - offset);
    std::memcpy(into, bytes_.data() + offset, n);
    return n;
  }

 private:
  std::span<const uint8_t> bytes_;
};

// A drawing is stopped once its GLF passes this, as a job stops one whose
// GLF grows too large: a few kilobytes of dashed wide arcs come to tens of
// megabytes of the same strokes, and writing them would take the fuzzer's
// time without reaching any new code.
constexpr uint64_t kGlfCap = 256 * 1024;
constexpr tovrin::AskEvery kAskEvery{4096, 16 * 1024};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const PlotSettings settings = SettingsFor(data[0]);
  tovrin::JobContext whole_job(tovrin::MakeSnapshot(settings));
  tovrin::JobContext windowed_job(tovrin::MakeSnapshot(settings));
  const std::span<const uint8_t> ofi(data + 1, size - 1);
  BytesSource source(ofi);
  // An odd-sized input is drawn twice in one job: what a drawing leaves
  // behind must not upset the next. (Every input twice would halve the runs.)
  const int drawings = 1 + static_cast<int>(size & 1);
  for (int drawing = 0; drawing < drawings; ++drawing) {
    tovrin::GlfWriter out, windowed_out;
    const tovrin::DrawingResult result = tovrin::TranslateDrawing(
        whole_job, ofi, out, [&out] { return out.BytesAtLeast() <= kGlfCap; }, kAskEvery);
    const std::string& glf = out.Bytes();
    FUZZ_CHECK(glf.rfind("\x1b%-1BBPIN", 0) == 0);
    FUZZ_CHECK(glf.size() >= 11 && glf.compare(glf.size() - 2, 2, "\033E") == 0);
    // One stopped at the cap is not read again: its time goes to a record
    // writing the same piece thousands of times, and reading it a second
    // way would reach no code the first did not.
    if (result.end == tovrin::DrawingEnd::Aborted) break;
    // The second time with the next window read ahead (drawings over 4 kB).
    const auto ahead =
        drawing == 0 ? tovrin::WordReader::ReadAhead::Off : tovrin::WordReader::ReadAhead::On;
    const tovrin::DrawingResult windowed = tovrin::TranslateDrawing(
        windowed_job,
        tovrin::WordReader(source, ofi.size(), tovrin::WordReader::kMaxRunWords, ahead),
        windowed_out, [&windowed_out] { return windowed_out.BytesAtLeast() <= kGlfCap; },
        kAskEvery);
    FUZZ_CHECK(windowed.end == result.end && windowed.reason == result.reason);
    FUZZ_CHECK(windowed_out.Bytes() == glf);
  }
  return 0;
}
