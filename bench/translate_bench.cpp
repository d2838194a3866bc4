// Translation throughput, file to file, on two large generated drawings:
// one of lines, polylines and arcs only, one with the mix of the sample
// drawings (text, wide lines, areas). `cat` of the same bytes runs in the
// same process for comparison; a summary at the end gives both.
//
//   tovrin_bench [--drawing_mb=64] [benchmark flags]
//   tovrin_bench --write_drawings=FOLDER COUNT   (drawings for comparing builds)
//   tovrin_bench --keep_drawings=FOLDER          (the two drawings, kept for profiling)

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "job/file_words.h"
#include "ofi_builder.h"
#include "platform/folder.h"
#include "translate/reader_cycle.h"

namespace tovrin {
namespace {

using test::OfiBuilder;

// The two drawings: `kBig` is strokes only (lines, long polylines, arcs);
// `kMixed` has the mix of the sample drawings.
enum DrawingKind { kBig = 0, kMixed = 1 };
constexpr const char* kKindNames[] = {"big", "mixed"};

struct Drawing {
  std::string path;
  size_t bytes = 0;
  uint64_t glf_bytes = 0;
};
Drawing g_drawings[2];
std::string g_output_path;

using Rng = std::mt19937;
int Uniform(Rng& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

// About 40 % of the words in lines, 45 % in polylines of 60 points, 15 % in
// arcs and circles, with line-class changes between runs of strokes.
void AppendStrokes(OfiBuilder& b, Rng& rng) {
  auto coord = [&](int lo, int hi) { return Uniform(rng, lo, hi); };
  const int classes[] = {0x00, 0x01, 0x02, 0x10, 0x11, 0x21, 0x31, 0x40};
  for (int run = 0; run < 200; ++run) {
    b.LineClass(classes[coord(0, 7)]);
    for (int i = 0; i < 20; ++i) {
      int x = coord(100, 40000), y = coord(100, 28000);
      b.Line(x, y, x + coord(-600, 600) + 600, y + coord(0, 3000));
    }
    std::vector<int> xy;
    int x = coord(1000, 30000), y = coord(1000, 20000);
    for (int i = 0; i < 60; ++i) {
      xy.push_back(x += coord(-150, 150) + 150);
      xy.push_back(y += coord(-150, 150) + 150);
    }
    b.Word(OfiBuilder::kEscDollar).Word(0xFF44).Count(xy.size());
    for (int v : xy) b.Word(static_cast<uint16_t>(v));
    for (int i = 0; i < 12; ++i) {
      int cx = coord(3000, 35000), cy = coord(3000, 25000), r = coord(50, 2500);
      if (i % 4 == 0) {
        b.Arc(cx + r, cy, cx - r, cy, cx + r, cy);  // circle
      } else {
        b.Arc(cx + r, cy, cx, cy + r, cx - r, cy + coord(-r / 2, r / 2));
      }
    }
  }
}

// JIS codes the text uses: kanji of a title block, katakana part names.
constexpr int kKanji[] = {0x3F5E, 0x4856, 0x3A60, 0x3C41, 0x3C5C, 0x4559, 0x3D24,
                          0x4035, 0x4B49, 0x3B2C, 0x3D68, 0x4D7D, 0x3021, 0x4E3E};
constexpr int kKatakana[] = {0x2556, 0x2569, 0x2531, 0x2543, 0x2548, 0x2537,
                             0x2563, 0x2555, 0x2573, 0x2538, 0x252F, 0x2562};

void AppendText(OfiBuilder& b, Rng& rng) {
  auto coord = [&](int lo, int hi) { return Uniform(rng, lo, hi); };
  b.TextBlock(true).Direction(coord(0, 3) == 0 ? 9000 : 0).Slant(coord(0, 4) == 0 ? 1500 : 0);
  b.Size(coord(150, 350), coord(200, 450), coord(250, 500));
  for (int i = 0; i < 6; ++i) {
    const int x = coord(1000, 38000), y = coord(1000, 27000);
    switch (coord(0, 3)) {
      case 0: {  // dimension or part number in single bytes, half-width kana too
        static const char* kTexts[] = {"120", "SS400", "M8x1.25", "\xcd\xde\xb1\xd8\xdd\xb8\xde",
                                       "R25", "4-12"};
        b.ByteText(x, y, kTexts[coord(0, 5)]);
        break;
      }
      case 1: {  // kanji title or note
        const int n = coord(2, 8);
        b.Word(OfiBuilder::kEscDollar)
            .Word(static_cast<uint16_t>((n + 2) << 8 | 0x4C))
            .Words({x, y});
        for (int k = 0; k < n; ++k) {
          const auto c = OfiBuilder::Jis(kKanji[coord(0, 13)]);
          b.Word(static_cast<uint16_t>(c.row | c.cell << 8));
        }
        break;
      }
      case 2: {  // katakana part name
        const int n = coord(3, 6);
        b.Word(OfiBuilder::kEscDollar)
            .Word(static_cast<uint16_t>((n + 2) << 8 | 0x4C))
            .Words({x, y});
        for (int k = 0; k < n; ++k) {
          const auto c = OfiBuilder::Jis(kKatakana[coord(0, 11)]);
          b.Word(static_cast<uint16_t>(c.row | c.cell << 8));
        }
        break;
      }
      default:  // a callout: a diameter with its leader
        b.JisText(x, y,
                  {OfiBuilder::Jis(0x2655),
                   {0, '6'},
                   {0, '0'},
                   OfiBuilder::Jis(0x215E),
                   {0, '0'},
                   {0, '.'},
                   {0, '1'}});
        b.AnnotationLine(x, y - 100, x + coord(-1500, 1500), y - coord(500, 2000));
    }
  }
  b.TextBlock(false);
}

// The mix of the sample drawings: short polylines of 3 to 11 points, lines
// in every class, arcs and circles, wide lines and arcs, hatched areas,
// kanji and katakana text with annotation lines, palette changes.
void AppendMixed(OfiBuilder& b, Rng& rng) {
  auto coord = [&](int lo, int hi) { return Uniform(rng, lo, hi); };
  const int classes[] = {0x00, 0x01, 0x02, 0x10, 0x11, 0x21, 0x31, 0x40};
  for (int run = 0; run < 100; ++run) {
    b.LineClass(classes[coord(0, 7)]);
    for (int i = 0; i < 8; ++i) {
      std::vector<int> xy;
      int x = coord(1000, 36000), y = coord(1000, 25000);
      const int points = coord(3, 11);
      for (int p = 0; p < points; ++p) {
        xy.push_back(x += coord(-800, 800));
        xy.push_back(y += coord(-800, 800));
      }
      b.Word(OfiBuilder::kEscDollar).Word(0xFF44).Count(xy.size());
      for (int v : xy) b.Word(static_cast<uint16_t>(std::clamp(v, 0, 40000)));
    }
    for (int i = 0; i < 10; ++i) {
      int x = coord(100, 38000), y = coord(100, 27000);
      b.Line(x, y, x + coord(0, 2000), y + coord(0, 2000));
    }
    for (int i = 0; i < 4; ++i) {
      int cx = coord(3000, 35000), cy = coord(3000, 25000), r = coord(50, 2500);
      if (i % 2 == 0) {
        b.Arc(cx + r, cy, cx - r, cy, cx + r, cy);
      } else {
        b.Arc(cx + r, cy, cx, cy + r, cx - r, cy + coord(-r / 2, r / 2));
      }
    }
    if (run % 4 == 0) {
      int x = coord(2000, 30000), y = coord(2000, 20000);
      b.LineClass(0x02).WidePolyline(
          0, {1500000, 300000, 200000, 300000}, 0, 50,
          {x, y, x + coord(500, 4000), y, x + coord(500, 4000), y + coord(500, 3000)});
      b.LineClass(0x01).WideArc(0, {200000, 100000}, 0, 30, x, y + 2000, x + 2000, y + 4000,
                                x + 4000, y + 2000);
    }
    if (run % 8 == 0) {
      int x = coord(2000, 30000), y = coord(2000, 20000);
      b.PatternBlock(true).Area(
          x, y,
          {OfiBuilder::kAreaLine, x + 2000, y, OfiBuilder::kAreaLine, x + 2000, y + 1500,
           OfiBuilder::kAreaLine, x, y + 1500, OfiBuilder::kAreaLine, x, y});
      b.PatternBlock(false);
    }
    if (run % 2 == 0) AppendText(b, rng);
    if (run % 16 == 0) b.Palette(coord(0, 7));
  }
}

// One A1-sized drawing, written chunk by chunk so generating it needs little
// memory.
bool GenerateDrawing(DrawingKind kind, const std::string& path, size_t target_bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  Rng rng(kind == kBig ? 12345 : 4242);
  size_t written = 0;
  bool first = true;
  while (written < target_bytes) {
    OfiBuilder b;
    if (first) {
      b.Header("BENCH").Scale(20).DashUnit(20).Copies(1).SheetRecord(41000, 29000, 41000, 29000);
      first = false;
    }
    if (kind == kBig) {
      AppendStrokes(b, rng);
    } else {
      AppendMixed(b, rng);
    }
    std::vector<uint8_t> bytes = b.Bytes();
    if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) break;
    written += bytes.size();
  }
  OfiBuilder end;
  end.End();
  std::vector<uint8_t> tail = end.Bytes();
  std::fwrite(tail.data(), 1, tail.size(), f);
  written += tail.size();
  g_drawings[kind].path = path;
  g_drawings[kind].bytes = written;
  return std::fclose(f) == 0;
}

// Drawings for comparing the GLF of two builds byte for byte: the mixed and
// stroke drawings at many sizes and seeds, every fourth one with random
// words overwritten (commands cut short, odd counts, stray prefixes).
bool WriteComparisonDrawings(const std::string& folder, int count) {
  for (int i = 0; i < count; ++i) {
    Rng rng(1000 + i);
    OfiBuilder b;
    b.Header("CMP" + std::to_string(i)).Scale(Uniform(rng, 5, 40)).DashUnit(Uniform(rng, 10, 200));
    b.Copies(Uniform(rng, 1, 3))
        .SheetRecord(Uniform(rng, 20000, 60000), Uniform(rng, 15000, 42000),
                     Uniform(rng, 20000, 41000), Uniform(rng, 15000, 29000));
    const int chunks = Uniform(rng, 1, 3);
    for (int c = 0; c < chunks; ++c) {
      if (Uniform(rng, 0, 2) == 0) {
        AppendStrokes(b, rng);
      } else {
        AppendMixed(b, rng);
      }
    }
    b.End();
    std::vector<uint8_t> bytes = b.Bytes();
    if (i % 4 == 3) {
      for (int k = Uniform(rng, 1, 40); k > 0; --k) {
        const size_t at =
            static_cast<size_t>(Uniform(rng, 64, static_cast<int>(bytes.size()) - 6)) & ~size_t{1};
        const uint16_t w =
            static_cast<uint16_t>(Uniform(rng, 0, 5) == 0 ? 0x241B : Uniform(rng, 0, 65535));
        bytes[at] = static_cast<uint8_t>(w & 0xFF);
        bytes[at + 1] = static_cast<uint8_t>(w >> 8);
      }
    }
    if (i % 7 == 5) bytes.resize(bytes.size() - static_cast<size_t>(Uniform(rng, 1, 2000)));
    const std::string path = folder + "/CMP" + std::to_string(i) + ".OFI";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
      return false;
  }
  return true;
}

// The drawing read as the job reads it.
std::vector<uint8_t> ReadDrawing(const Drawing& d) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(d.path, bytes, error) || bytes.size() != d.bytes) std::abort();
  return bytes;
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// Wall seconds of every iteration, per benchmark and drawing, for the
// summary that sets the translation beside `cat` of the same bytes.
std::map<std::string, std::vector<double>> g_seconds;

class IterationClock {
 public:
  explicit IterationClock(std::vector<double>& into) : into_(into), start_(Now()) {}
  ~IterationClock() { into_.push_back(Now() - start_); }

 private:
  static double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  std::vector<double>& into_;
  double start_;
};

void Report(benchmark::State& state, const Drawing& d) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.bytes));
  state.counters["glf_MB"] = static_cast<double>(d.glf_bytes) / 1e6;
  state.counters["peak_rss_MB"] = PeakMegabytes();
  state.counters["drawing_MB"] = static_cast<double>(d.bytes) / (1024.0 * 1024.0);
}

PlotSettings BenchSettings() {
  PlotSettings settings = PlotSettings::Defaults("/tmp");
  settings.Plot = "A1ﾌﾟﾛｯﾀﾛｰﾙ紙";
  return settings;
}

// The job writes each GLF as a new file; freeing the last iteration's pages
// is no part of the translation (nor of `cat`), so it happens off the clock.
void RemoveLastOutput(benchmark::State& state) {
  state.PauseTiming();
  std::remove(g_output_path.c_str());
  state.ResumeTiming();
}

// Read the drawing through its window as the job does, translate it into a
// GLF file; the abort test is a flag load, as a job's is between event pumps.
void BM_TranslateDrawing(benchmark::State& state) {
  Drawing& d = g_drawings[state.range(0)];
  auto& seconds = g_seconds[std::string("translate/") + kKindNames[state.range(0)]];
  const PlotSettings settings = BenchSettings();
  volatile bool abort_flag = false;
  for (auto _ : state) {
    RemoveLastOutput(state);
    IterationClock clock(seconds);
    DrawingFile file;
    FileStamp stamp;
    std::string error;
    if (file.Open(d.path, UINT64_MAX, stamp, error) != ReadResult::Ok) std::abort();
    FileWords words(file);
    JobContext job(MakeSnapshot(settings));
    GlfWriter out;
    if (!out.Open(g_output_path, error)) std::abort();
    DrawingResult r = TranslateDrawing(
        job, WordReader(words, stamp.size, WordReader::kWindowWords, WordReader::ReadAhead::On),
        out, [&] { return !abort_flag; });
    if (r.end != DrawingEnd::Finished) state.SkipWithError("drawing not finished");
    out.Finish();
    d.glf_bytes = out.BytesWritten();
  }
  Report(state, d);
}

// The translation alone: the drawing already in memory, the GLF to
// /dev/null. Not part of the target; it shows what the file traffic costs.
void BM_TranslateInMemory(benchmark::State& state) {
  Drawing& d = g_drawings[state.range(0)];
  const PlotSettings settings = BenchSettings();
  auto ofi = ReadDrawing(d);
  for (auto _ : state) {
    JobContext job(MakeSnapshot(settings));
    GlfWriter out;
    std::string error;
    if (!out.Open("/dev/null", error)) std::abort();
    TranslateDrawing(job, {ofi.data(), d.bytes}, out, [] { return true; });
    out.Finish();
  }
  Report(state, d);
}

// `cat` of the drawing's bytes into the output file, as a process of its own.
void BM_Cat(benchmark::State& state) {
  Drawing& d = g_drawings[state.range(0)];
  auto& seconds = g_seconds[std::string("cat/") + kKindNames[state.range(0)]];
  for (auto _ : state) {
    RemoveLastOutput(state);
    IterationClock clock(seconds);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, g_output_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string cat = "cat";
    char* argv[] = {cat.data(), d.path.data(), nullptr};
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "cat", &actions, nullptr, argv, environ) != 0 ||
        waitpid(pid, &status, 0) != pid || status != 0)
      state.SkipWithError("cat failed");
    posix_spawn_file_actions_destroy(&actions);
  }
  Report(state, d);
}

BENCHMARK(BM_TranslateDrawing)
    ->Arg(kBig)
    ->Arg(kMixed)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(BM_Cat)
    ->Arg(kBig)
    ->Arg(kMixed)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->UseRealTime();
BENCHMARK(BM_TranslateInMemory)
    ->Arg(kBig)
    ->Arg(kMixed)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

struct Spread {
  double min = 0, median = 0;
};
Spread SpreadOf(std::vector<double> v) {
  if (v.empty()) return {};
  std::sort(v.begin(), v.end());
  return {v.front(), v[v.size() / 2]};
}

// Translation beside cat, both from this run: MB/s and the time ratio.
void PrintSummary() {
  std::printf("\n%-8s %10s %22s %22s %16s\n", "drawing", "MB", "translate MB/s min/med",
              "cat MB/s min/med", "ratio min/med");
  for (int kind : {kBig, kMixed}) {
    const auto t = g_seconds.find(std::string("translate/") + kKindNames[kind]);
    const auto c = g_seconds.find(std::string("cat/") + kKindNames[kind]);
    if (t == g_seconds.end() || c == g_seconds.end()) continue;
    const Spread ts = SpreadOf(t->second), cs = SpreadOf(c->second);
    const double mb = g_drawings[kind].bytes / 1e6;
    std::printf("%-8s %10.1f %10.0f / %-10.0f %10.0f / %-10.0f %7.1f / %-7.1f\n", kKindNames[kind],
                mb, mb / ts.min, mb / ts.median, mb / cs.min, mb / cs.median, ts.min / cs.min,
                ts.median / cs.median);
  }
}

}  // namespace
}  // namespace tovrin

int main(int argc, char** argv) {
  size_t megabytes = 64;
  std::string keep_in;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--write_drawings=", 17) == 0 && i + 1 < argc) {
      // --write_drawings=FOLDER COUNT: only write the comparison drawings.
      return tovrin::WriteComparisonDrawings(argv[i] + 17, std::atoi(argv[i + 1])) ? 0 : 1;
    }
    if (std::strncmp(argv[i], "--keep_drawings=", 16) == 0) {
      keep_in = argv[i] + 16;
    } else if (std::strncmp(argv[i], "--drawing_mb=", 13) == 0) {
      megabytes = std::strtoul(argv[i] + 13, nullptr, 10);
    } else {
      args.push_back(argv[i]);
    }
  }
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp ? tmp : "/tmp";
  const std::string stem =
      keep_in.empty() ? dir + "/tovrin_bench_" + std::to_string(getpid()) : keep_in + "/BENCH";
  tovrin::g_output_path = stem + ".glf";
  for (int kind : {tovrin::kBig, tovrin::kMixed}) {
    const std::string path = stem + "_" + tovrin::kKindNames[kind] + ".ofi";
    if (!tovrin::GenerateDrawing(static_cast<tovrin::DrawingKind>(kind), path, megabytes << 20)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    std::printf("drawing %s: %.1f MB of OFI words\n", tovrin::kKindNames[kind],
                tovrin::g_drawings[kind].bytes / (1024.0 * 1024.0));
  }
  if (!keep_in.empty()) return 0;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  tovrin::PrintSummary();
  for (const auto& d : tovrin::g_drawings) std::remove(d.path.c_str());
  std::remove(tovrin::g_output_path.c_str());
  return 0;
}
